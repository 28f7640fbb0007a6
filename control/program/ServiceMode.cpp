#include "control/program/ServiceMode.h"

#include "base/Trace.h"
#include "control/program/StopSignals.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace ar {

int ServiceTimerIntervalMs() {
  if (const char* env = std::getenv("AUTORESPONDER_TIMER_MS"); env && *env) {
    const long v = std::strtol(env, nullptr, 10);
    if (v >= 10 && v <= 3600000) return static_cast<int>(v);
  }
  return kTimerIntervalMs;
}

int RunServiceMode(ControlProgram& program) {
  // Held since the program started; a request made during start-up is read at once.
  HoldStopSignals();
  const sigset_t stop = StopSignalSet();
  const int fd = signalfd(-1, &stop, SFD_CLOEXEC);
  if (fd < 0) {
    program.Log().Write("Autoresponder cannot wait for the stop request", kEventMessage);
    return kControlExitStartUpFailed;
  }

  NotifyServiceReady();
  program.ServiceStarted();
  const auto interval = std::chrono::milliseconds(ServiceTimerIntervalMs());
  auto next = std::chrono::steady_clock::now() + interval;
  for (;;) {
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::max<long long>(0, wait.count())));
    if (ready > 0) {
      signalfd_siginfo info{};
      if (::read(fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) break;
      continue;
    }
    if (std::chrono::steady_clock::now() < next) continue;
    // Both timers of the window, in the order they were created.
    program.TimerProcessTick();
    program.TimerSummaryTick();
    next += interval;
    if (next < std::chrono::steady_clock::now()) next = std::chrono::steady_clock::now() + interval;
  }
  NotifyServiceStopping();
  program.ServiceStopping();
  ::close(fd);
  return kControlExitNormal;
}

}  // namespace ar
