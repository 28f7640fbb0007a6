#include "monitor/ShowRequest.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace ar {

std::string MonitorSocketPath(const std::string& dataFolder) { return dataFolder + "/tamsel.socket"; }

bool RequestMonitorWindow(const std::string& dataFolder) {
  const std::string path = MonitorSocketPath(dataFolder);
  sockaddr_un addr{};
  if (path.size() >= sizeof addr.sun_path) return false;
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool sent = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  const size_t size = std::strlen(kMonitorShowRequest);
  if (sent) {
    ssize_t n;
    do n = ::send(fd, kMonitorShowRequest, size, MSG_NOSIGNAL);
    while (n < 0 && errno == EINTR);
    sent = n == static_cast<ssize_t>(size);
  }
  ::close(fd);
  return sent;
}

}  // namespace ar
