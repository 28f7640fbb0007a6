#include "store/DurableFile.h"

#include "base/FileMode.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace ar {
namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool SyncDescriptor(int fd) {
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool WriteAll(int fd, const char* data, size_t size) {
  for (size_t done = 0; done < size;) {
    const ssize_t w = ::write(fd, data + done, size - done);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (w == 0) {
      errno = ENOSPC;  // nothing taken: it would never end
      return false;
    }
    done += static_cast<size_t>(w);
  }
  return true;
}

bool CopyContents(int in, int out) {
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(in, buf, sizeof buf);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!WriteAll(out, buf, static_cast<size_t>(n))) return false;
  }
}

}  // namespace

std::string PendingPath(const std::string& path) { return path + ".new"; }

bool SyncFile(const std::string& path) { return SyncDescriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC)); }

bool SyncFolder(const std::string& folder) {
  return SyncDescriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

bool MoveFile(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return false;
  return SyncFolder(FolderOf(to));
}

namespace {
constexpr std::size_t kGatheredBytes = 64 * 1024;
}

ReplacingFile::ReplacingFile(const std::string& target, mode_t mode) : target_(target), temporary_(target + ".XXXXXX") {
  fd_ = ::mkstemp(temporary_.data());
  if (fd_ < 0) return;
  if (::fchmod(fd_, mode) != 0) {
    const int error = errno;
    ::close(std::exchange(fd_, -1));
    ::unlink(temporary_.c_str());
    errno = error;
  }
}

ReplacingFile::~ReplacingFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_) ::unlink(temporary_.c_str());
}

bool ReplacingFile::Write(std::string_view bytes) {
  if (fd_ < 0) return false;
  // A large piece goes straight to the file rather than through another copy.
  if (buffer_.empty() && bytes.size() >= kGatheredBytes) return WriteAll(fd_, bytes.data(), bytes.size());
  buffer_.append(bytes);
  return buffer_.size() < kGatheredBytes || Flush();
}

bool ReplacingFile::Flush() {
  const bool ok = WriteAll(fd_, buffer_.data(), buffer_.size());
  buffer_.clear();
  return ok;
}

bool ReplacingFile::Commit() {
  if (fd_ < 0 || !Flush() || ::fsync(fd_) != 0) return false;
  if (::close(std::exchange(fd_, -1)) != 0) return false;
  if (!MoveFile(temporary_, target_)) return false;
  committed_ = true;
  return true;
}

bool CreatePrivateFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateFileMode);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool CopyFile(const std::string& from, const std::string& to) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  // A pending file of an interrupted copy may carry an older mode: it is made anew.
  const std::string pending = PendingPath(to);
  ::unlink(pending.c_str());
  const int out = ::open(pending.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateFileMode);
  if (out < 0) {
    ::close(in);
    return false;
  }
  bool ok = CopyContents(in, out);
  ok = (::fsync(out) == 0) && ok;
  ok = (::close(out) == 0) && ok;
  ::close(in);
  ok = ok && MoveFile(pending, to);
  if (!ok) ::unlink(pending.c_str());
  return ok;
}

void RemoveWorldAccess(const std::string& path) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0 || (st.st_mode & S_IRWXO) == 0) return;
  (void)::chmod(path.c_str(), st.st_mode & 07777 & ~S_IRWXO);
}

int OpenLockFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, kPrivateFileMode);
  if (fd >= 0 || (errno != EACCES && errno != EROFS)) return fd;
  return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
}

}  // namespace ar
