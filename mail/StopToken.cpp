#include "mail/StopToken.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace ar {

StopToken::StopToken() {
  // Without a pipe the token still works for loops that ask Requested(); only socket
  // waits then run to their time-out.
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) pipe_[0] = pipe_[1] = -1;
}

StopToken::~StopToken() {
  for (int fd : pipe_)
    if (fd >= 0) ::close(fd);
}

void StopToken::Request() {
  const int saved = errno;
  requested_.store(true, std::memory_order_relaxed);
  // One byte is enough: nobody reads it, so the pipe stays readable. A full pipe means a
  // byte is there already.
  if (pipe_[1] >= 0) (void)!::write(pipe_[1], "s", 1);
  errno = saved;
}

}  // namespace ar
