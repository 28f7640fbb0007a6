#include "control/program/StopSignals.h"

namespace ar {

sigset_t StopSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  return set;
}

void HoldStopSignals() {
  const sigset_t set = StopSignalSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void ReleaseStopSignals() {
  const sigset_t set = StopSignalSet();
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

bool StopSignalPending() {
  sigset_t pending;
  sigemptyset(&pending);
  if (sigpending(&pending) != 0) return false;
  return sigismember(&pending, SIGTERM) == 1 || sigismember(&pending, SIGINT) == 1;
}

}  // namespace ar
