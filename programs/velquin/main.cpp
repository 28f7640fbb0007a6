// velquin: the control program. "/s": service mode (no window, the scheduler only);
// otherwise application mode with the operator's windows. "/d": debug switch.
#include "base/Trace.h"
#include "control/program/ControlProgram.h"
#include "control/program/ServiceMode.h"
#include "control/program/StopSignals.h"
#include "store/Display.h"
#include "store/ProgramArguments.h"

#ifdef AR_WITH_WINDOWS
#include "control/window/main/ApplicationMode.h"
#endif

#include <clocale>
#include <csignal>
#include <iostream>

namespace {

// Application mode without a display: start-up runs, and the program then ends as after
// closing its window.
class StandardErrorMessages final : public ar::OperatorMessages {
 public:
  void ShowMessage(const std::string& text, const std::string& title, ar::MessageIcon) override {
    std::cerr << "velquin: " << (title.empty() ? "Autoresponder" : title) << ": " << text << "\n";
  }
};

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  std::signal(SIGPIPE, SIG_IGN);
  // Before any thread exists, so that none of them takes a stop request in the middle of
  // start-up; start-up honours it at a safe point (see StopSignals.h).
  ar::HoldStopSignals();
  const std::string commandLine = ar::JoinArguments(argc, argv);
  ar::JournalEventLog log;
  ar::PosixProcessStarter starter;
  if (ar::CommandLineHasSwitch(commandLine, 's')) {
    StandardErrorMessages unused;
    ar::ControlProgram program(commandLine, unused, log, starter);
    if (!program.StartUp()) return program.ExitCode();
    program.FinishStartUp();
    return ar::RunServiceMode(program);
  }
#ifdef AR_WITH_WINDOWS
  if (ar::HasDisplay()) return ar::RunApplicationMode(argc, argv, commandLine, log, starter);
#endif
  StandardErrorMessages messages;
  ar::ControlProgram program(commandLine, messages, log, starter);
  if (!program.StartUp()) return program.ExitCode();
  program.FinishStartUp();
  std::cerr << "velquin: no display for the application window; use \"velquin /s\" to run the scheduler\n";
  return ar::kControlExitNormal;
}
