#pragma once
// Application mode: start-up with its message boxes and splash, then the main window
// until it closes.
#include "control/program/EventLog.h"
#include "control/program/RunScheduler.h"

#include <string>

namespace ar {

int RunApplicationMode(int argc, char** argv, const std::string& commandLine, EventLog& log, ProcessStarter& starter);

}  // namespace ar
