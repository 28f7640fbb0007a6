#include "control/program/RunScheduler.h"

#include "base/Clock.h"
#include "base/Trace.h"
#include "store/ConfigurationRow.h"
#include "store/PresenceMarker.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace ar {

pid_t PosixProcessStarter::Start(const std::string& program, const std::string& argument) {
  std::vector<char*> argv{const_cast<char*>(program.c_str()), const_cast<char*>(argument.c_str()), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // The processor runs in a process group of its own, so that a Ctrl-C meant for this
  // program in a terminal does not cut a run short.
  posix_spawnattr_setpgroup(&attributes, 0);
  // This program holds SIGTERM and SIGINT back and ignores SIGPIPE; the child starts
  // with no signal blocked and every disposition at its default, so that a stop request
  // reaches it.
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + program + ": " + std::strerror(rc));
  return pid;
}

bool PosixProcessStarter::Running(pid_t pid) {
  if (pid <= 0) return false;
  const pid_t r = ::waitpid(pid, nullptr, WNOHANG);
  return r == 0;
}

RunScheduler::RunScheduler(Connection& main, std::string programFolder, std::string dataFolder, ProcessStarter& starter)
    : main_(main), programFolder_(std::move(programFolder)), dataFolder_(std::move(dataFolder)), starter_(starter) {}

std::string RunScheduler::ProcessorArgument(int64_t autoresponderId, bool debug) {
  return std::to_string(autoresponderId) + (debug ? "/d" : "");
}

bool RunScheduler::RunActive() {
  // The processor's marker shows a run from its start to its end; the process started
  // here last also counts from the moment it was spawned, before its marker exists.
  if (child_ > 0 && !starter_.Running(child_)) child_ = -1;
  return child_ > 0 || PresenceMarker::Exists("ostrel", dataFolder_);
}

void RunScheduler::StartEventProcessing(int64_t autoresponderId) {
  main_.Execute("delete from tblBlackoutDays where yyyymmdd(BlackoutDay)<yyyymmdd(now())");
  TraceLog("Starting event processing");
  if (RunActive()) {
    TraceLog("Event processing already running");
    return;
  }
  child_ = starter_.Start(programFolder_ + "/ostrel", ProcessorArgument(autoresponderId, DebugSwitch()));
}

void RunScheduler::TimerTick() {
  try {
    // A processor that has ended is collected at the next tick, not only when the next
    // run is due: it must not linger as a zombie for a whole cycle.
    if (child_ > 0 && !starter_.Running(child_)) child_ = -1;
    const double now = NowDays();
    if (!lastRunStart_) lastRunStart_ = now;
    long long minutes = ConfigurationRow::Read(main_).PopCycleMinutes(15);
    if (minutes == 0) minutes = 15;
    if (*lastRunStart_ + static_cast<double>(minutes) / 1440.0 < now) {
      lastRunStart_ = now;
      StartEventProcessing(0);
    }
  } catch (const std::exception& e) {
    // The trace folder may be gone; the schedule goes on all the same.
    TraceLogNoThrow(std::string("frmMain/timerProcess_Timer: Error ") + e.what(), true);
  }
}

}  // namespace ar
