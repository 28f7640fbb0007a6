#include "store/DatabaseFiles.h"

#include "store/DataFolder.h"

#include <stdexcept>
#include <sys/file.h>
#include <unistd.h>

namespace ar {

std::string AutoresponderDbPath(const std::string& dataFolder) { return dataFolder + "/autoresponder.sto"; }
std::string SubscribersDbPath(const std::string& dataFolder) { return dataFolder + "/subscribers.sto"; }
std::string DatabaseLockPath(const std::string& dataFolder) { return dataFolder + "/databases.lock"; }

void DatabaseFiles::Open(const std::string& dataFolder, const Connection::Options& options) {
  Close();
  // Check presence first so that a missing file is never created by the engine.
  for (const std::string& path : {AutoresponderDbPath(dataFolder), SubscribersDbPath(dataFolder)})
    if (!FileExists(path)) throw DbError("cannot open " + path + ": no such database file", 14);
  lockFd_ = OpenLockFile(DatabaseLockPath(dataFolder));
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
  const int fd = OpenLockFile(DatabaseLockPath(dataFolder));
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

std::string SeedDatabases(const std::string& programFolder, const std::string& dataFolder) {
  std::string copied;
  for (const char* name : {"autoresponder", "subscribers"}) {
    const std::string sto = dataFolder + "/" + name + ".sto";
    if (FileExists(sto) || FileExists(dataFolder + "/" + name + ".bak")) continue;
    const std::string tem = programFolder + "/" + name + ".tem";
    if (!CopyFile(tem, sto)) throw std::runtime_error("cannot put the initial database " + tem + " in place as " + sto);
    copied += std::string(copied.empty() ? "" : " ") + name + ".sto";
  }
  return copied;
}

}  // namespace ar
