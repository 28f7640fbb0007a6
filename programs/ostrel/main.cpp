// ostrel: one processing run for all autoresponders (0) or one, then the program ends.
#include "processor/ProcessorProgram.h"
#include "processor/StopSignals.h"
#include "store/Display.h"

#ifdef AR_WITH_WINDOWS
#include "processor/window/frmProcess.h"
#endif

#include <clocale>
#include <cstdio>
#include <iostream>

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  ar::IgnoreBrokenPipes();
  ar::ProcessorProgram program(ar::JoinArguments(argc, argv));
  // Stopping the service (SIGTERM) or Ctrl-C ends the run after the message in hand.
  ar::RequestStopOnSignals(program.Stop());
  std::string error;
  if (const int rc = program.StartUp(error); rc != ar::kExitOk) {
    std::cerr << "ostrel: " << error << "\n";
    return rc;
  }
#ifdef AR_WITH_WINDOWS
  if (program.Debug() && ar::HasDisplay()) return ar::RunWithWindow(argc, argv, program);
#endif
  // Without a window the run starts at once; in debug mode its progress goes to the
  // terminal, since no window can show it.
  if (program.Debug())
    program.Status().SetObserver([](const std::string& line, bool) { std::cout << line << std::endl; });
  if (program.Run() == ar::RunOutcome::SendingStoppedUnrecorded) {
    std::cerr << "ostrel: Error: the database cannot be written, sending stopped\n";
    return ar::kExitDatabaseError;
  }
  return ar::kExitOk;
}
