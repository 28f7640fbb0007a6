#include "control/events/BodyFileIo.h"

#include "base/FileMode.h"
#include "mail/BodyFile.h"
#include "store/DurableFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>

namespace ar {
namespace {

[[noreturn]] void Fail(const std::string& what, int error) {
  throw std::runtime_error(what + ": " + std::strerror(error));
}

// The file a write lands in: the target of a link, so that the link stays a link.
std::string WriteTarget(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) != nullptr) return resolved;
  return path;
}

}  // namespace

std::optional<std::uintmax_t> RegularFileSize(const std::string& path) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<std::uintmax_t>(st.st_size);
}

std::string ReadTextLines(const std::string& path) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) Fail("cannot read " + path, errno);
  if (!S_ISREG(st.st_mode)) throw std::runtime_error(path + " is not a file");
  return ReadBodyFile(path);
}

void ReplaceFileText(const std::string& path, const std::string& text) {
  const std::string target = WriteTarget(path);
  struct stat existing{};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) throw std::runtime_error(path + " is not a file");
  const mode_t mode = exists ? (existing.st_mode & 07777) : kPrivateFileMode;

  ReplacingFile file(target, mode);
  if (!file.Created() || !file.Write(text) || !file.Commit()) Fail("cannot write " + path, errno);
}

std::optional<FileStamp> StampOf(const std::string& path) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim};
}

}  // namespace ar
