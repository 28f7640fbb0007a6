#include "store/PresenceMarker.h"

#include "store/DurableFile.h"

#include <cctype>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace ar {
namespace {

// Exists takes a shared lock for the moment of its test; an Acquire that meets one
// tries again for this long before it concludes that the marker is held.
constexpr int kProbeRetries = 50;
constexpr long kProbeRetryNs = 2'000'000;

bool TryExclusive(int fd) {
  for (int attempt = 0;; ++attempt) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK || attempt == kProbeRetries) return false;
    const timespec pause{0, kProbeRetryNs};
    ::nanosleep(&pause, nullptr);
  }
}

}  // namespace

std::string PresenceMarker::LockPath(const std::string& title, const std::string& dataFolder) {
  std::string name = title.substr(0, 60);
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') c = '_';
  return dataFolder + "/" + name + ".lock";
}

bool PresenceMarker::Acquire(const std::string& title, const std::string& dataFolder) {
  Release();
  const int fd = OpenLockFile(LockPath(title, dataFolder));
  if (fd < 0) return false;
  if (!TryExclusive(fd)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

void PresenceMarker::Release() {
  // The file stays: removing it could let two processes lock two different files.
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool PresenceMarker::Exists(const std::string& title, const std::string& dataFolder) {
  const int fd = ::open(LockPath(title, dataFolder).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;  // never held here, or not ours to read
  int rc;
  do rc = ::flock(fd, LOCK_SH | LOCK_NB);
  while (rc != 0 && errno == EINTR);
  const bool held = rc != 0 && errno == EWOULDBLOCK;
  ::close(fd);  // also lets go of the shared lock of the test
  return held;
}

}  // namespace ar
