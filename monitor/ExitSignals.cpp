#include "monitor/ExitSignals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>

namespace ar {
namespace {

int g_pipe[2] = {-1, -1};

extern "C" void OnExitSignal(int) {
  const int saved = errno;
  const char byte = 1;
  (void)!::write(g_pipe[1], &byte, 1);  // a full pipe already holds a request
  errno = saved;
}

}  // namespace

int ExitSignalPipe() {
  if (g_pipe[0] >= 0) return g_pipe[0];
  if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
  struct sigaction action {};
  action.sa_handler = OnExitSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
  return g_pipe[0];
}

}  // namespace ar
