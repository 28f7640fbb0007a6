#include "control/BodyFileIo.h"

#include "processor/BodyFile.h"
#include "store/DurableFile.h"
#include "store/FileMode.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

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

bool WriteAll(int fd, const std::string& text) {
  for (size_t done = 0; done < text.size();) {
    const ssize_t w = ::write(fd, text.data() + done, text.size() - done);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(w);
  }
  return true;
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

  std::string pending = target + ".XXXXXX";
  const int fd = ::mkstemp(pending.data());
  if (fd < 0) Fail("cannot write " + path, errno);
  int error = 0;
  if (::fchmod(fd, mode) != 0 || !WriteAll(fd, text) || ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && !MoveFile(pending, target)) error = errno;
  if (error != 0) {
    ::unlink(pending.c_str());
    Fail("cannot write " + path, error);
  }
}

std::optional<FileStamp> StampOf(const std::string& path) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim};
}

}  // namespace ar
