#pragma once
// Service mode: no window at all. The two timers tick from this loop until the service
// manager (SIGTERM) or the terminal (SIGINT) asks the program to stop.
#include "control/program/ControlProgram.h"

namespace ar {

// The timers' interval: $AUTORESPONDER_TIMER_MS when set (tests shorten it), else 60 s.
int ServiceTimerIntervalMs();

// Runs until SIGTERM or SIGINT; returns the exit code.
int RunServiceMode(ControlProgram& program);

}  // namespace ar
