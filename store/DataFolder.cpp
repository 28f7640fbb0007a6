#include "store/DataFolder.h"

#include "base/FileMode.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace ar {
namespace {
std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}
}  // namespace

bool FileExists(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeFolders(const std::string& path) {
  if (path.empty()) return false;
  if (FolderExists(path)) return true;
  const size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0) MakeFolders(path.substr(0, slash));
  ::mkdir(path.c_str(), kPrivateFolderMode);
  return FolderExists(path);
}

std::string ProgramFolder() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string exe(buf, static_cast<size_t>(n));
  const size_t slash = exe.find_last_of('/');
  return slash == 0 ? "/" : exe.substr(0, slash);
}

std::string GetDataFolder(const std::string& programFolder, const std::string& systemFolder) {
  if (FileExists(programFolder + "/autoresponder.sto")) return WithoutTrailingSlash(programFolder);
  if (const char* env = std::getenv("AUTORESPONDER_DATA"); env && *env) {
    const std::string folder = WithoutTrailingSlash(env);
    MakeFolders(folder);
    return folder;
  }
  if (!systemFolder.empty() && MakeFolders(systemFolder) && ::access(systemFolder.c_str(), W_OK) == 0)
    return WithoutTrailingSlash(systemFolder);
  std::string base;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home && *home ? home : ".") + "/.local/share";
  }
  const std::string folder = WithoutTrailingSlash(base) + "/autoresponder";
  MakeFolders(folder);
  return folder;
}

std::string GetDataFolder() { return GetDataFolder(ProgramFolder(), "/var/lib/autoresponder"); }

void CreateDataSubfolders(const std::string& dataFolder) {
  for (const char* sub : {"/templates", "/debug", "/content", "/reports"})
    ::mkdir((dataFolder + sub).c_str(), kPrivateFolderMode);
}

}  // namespace ar
