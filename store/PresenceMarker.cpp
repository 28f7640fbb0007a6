#include "store/PresenceMarker.h"

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace ar {
namespace {

std::string Canonical(const std::string& folder) {
  char buf[PATH_MAX];
  return ::realpath(folder.c_str(), buf) ? std::string(buf) : folder;
}

// Builds the abstract address: a NUL, then a name bounded in length whatever the folder.
socklen_t MarkerAddress(const std::string& title, const std::string& dataFolder, sockaddr_un& addr) {
  uint64_t hash = 1469598103934665603ULL;  // FNV-1a over the folder
  for (unsigned char c : Canonical(dataFolder)) {
    hash ^= c;
    hash *= 1099511628211ULL;
  }
  char name[96];
  std::snprintf(name, sizeof name, "autoresponder/%016llx/%.60s", static_cast<unsigned long long>(hash),
                title.c_str());
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  const size_t len = std::strlen(name);
  std::memcpy(addr.sun_path + 1, name, len);
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + len);
}

}  // namespace

bool PresenceMarker::Acquire(const std::string& title, const std::string& dataFolder) {
  Release();
  sockaddr_un addr;
  const socklen_t len = MarkerAddress(title, dataFolder, addr);
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

void PresenceMarker::Release() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool PresenceMarker::Exists(const std::string& title, const std::string& dataFolder) {
  sockaddr_un addr;
  const socklen_t len = MarkerAddress(title, dataFolder, addr);
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  // Connecting a datagram socket only checks that the name is bound; nothing is queued.
  const int rc = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), len);
  const int err = errno;
  ::close(fd);
  return rc == 0 || (err != ECONNREFUSED && err != ENOENT);
}

}  // namespace ar
