#include "store/DurableFile.h"

#include "store/FileMode.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
