#include "store/DatabaseFiles.h"

#include "store/DataFolder.h"
#include "store/FileMode.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace ar {

std::string AutoresponderDbPath(const std::string& dataFolder) { return dataFolder + "/autoresponder.sto"; }
std::string SubscribersDbPath(const std::string& dataFolder) { return dataFolder + "/subscribers.sto"; }
std::string DatabaseLockPath(const std::string& dataFolder) { return dataFolder + "/databases.lock"; }

namespace {
int OpenLockFile(const std::string& dataFolder) {
  return ::open(DatabaseLockPath(dataFolder).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kPrivateFileMode);
}
}  // namespace

void DatabaseFiles::Open(const std::string& dataFolder, const Connection::Options& options) {
  Close();
  // Check presence first so that a missing file is never created by the engine.
  for (const std::string& path : {AutoresponderDbPath(dataFolder), SubscribersDbPath(dataFolder)})
    if (!FileExists(path)) throw DbError("cannot open " + path + ": no such database file", 14);
  lockFd_ = OpenLockFile(dataFolder);
  if (lockFd_ >= 0) ::flock(lockFd_, LOCK_SH);
  try {
    config = Connection::Open(AutoresponderDbPath(dataFolder), options);
    subscribers = Connection::Open(SubscribersDbPath(dataFolder), options);
  } catch (...) {
    Close();
    throw;
  }
}

void DatabaseFiles::Close() {
  subscribers.Close();
  config.Close();
  if (lockFd_ >= 0) ::close(lockFd_);
  lockFd_ = -1;
}

int TryLockDatabasesExclusive(const std::string& dataFolder) {
  const int fd = OpenLockFile(dataFolder);
  if (fd < 0) return -1;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

void ReleaseDatabaseLock(int fd) {
  if (fd >= 0) ::close(fd);
}

bool CopyFile(const std::string& from, const std::string& to) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kPrivateFileMode);
  if (out < 0) {
    ::close(in);
    return false;
  }
  char buf[65536];
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(in, buf, sizeof buf);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = ::write(out, buf + done, static_cast<size_t>(n - done));
      if (w < 0) {
        if (errno == EINTR) continue;
        ok = false;
        break;
      }
      done += w;
    }
    if (!ok) break;
  }
  ok = (::fsync(out) == 0) && ok;
  ok = (::close(out) == 0) && ok;
  ::close(in);
  if (!ok) ::unlink(to.c_str());
  return ok;
}

std::string SeedDatabases(const std::string& programFolder, const std::string& dataFolder) {
  std::string copied;
  for (const char* name : {"autoresponder", "subscribers"}) {
    const std::string sto = dataFolder + "/" + name + ".sto";
    if (FileExists(sto)) continue;
    if (CopyFile(programFolder + "/" + name + ".tem", sto)) copied += std::string(copied.empty() ? "" : " ") + name + ".sto";
  }
  return copied;
}

}  // namespace ar
