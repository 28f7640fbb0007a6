#include "monitor/ProcessList.h"

#include "base/Text.h"
#include "monitor/TrapLines.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <stdexcept>
#include <unistd.h>

namespace ar {
namespace {

bool AllDigits(const char* name) {
  if (!*name) return false;
  for (; *name; ++name)
    if (*name < '0' || *name > '9') return false;
  return true;
}

bool SameNameNoCase(std::string_view a, std::string_view b) { return a.size() == b.size() && StartsWithNoCase(a, b); }

}  // namespace

std::string ProgramFileName(const std::string& linkTarget) {
  constexpr std::string_view kDeleted = " (deleted)";
  std::string_view path = linkTarget;
  if (path.ends_with(kDeleted)) path.remove_suffix(kDeleted.size());
  const size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool IsEXEInTaskList(const std::string& programName, const std::string& procRoot) {
  try {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(procRoot.c_str()), ::closedir);
    if (!dir) throw std::runtime_error("cannot list " + procRoot + ": " + std::strerror(errno));
    while (const dirent* entry = ::readdir(dir.get())) {
      if (!AllDigits(entry->d_name)) continue;
      const std::string link = procRoot + "/" + entry->d_name + "/exe";
      char target[PATH_MAX];
      const ssize_t n = ::readlink(link.c_str(), target, sizeof target);
      if (n <= 0 || n == static_cast<ssize_t>(sizeof target)) continue;  // gone, not ours, or a kernel thread
      if (SameNameNoCase(ProgramFileName(std::string(target, static_cast<size_t>(n))), programName)) return true;
    }
  } catch (const std::exception& e) {
    TrapLine("IsEXEInTaskList: ", e.what());
  }
  return false;
}

}  // namespace ar
