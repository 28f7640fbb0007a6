#include "control/window/main/ApplicationMode.h"

#include "control/program/ControlProgram.h"
#include "control/program/StopSignals.h"
#include "control/window/main/frmFastSplash.h"
#include "control/window/main/frmMain.h"
#include "widgets/MessageBoxes.h"
#include "widgets/web/WebEngineSetUp.h"

#include <QApplication>
#include <QSocketNotifier>

#include <memory>
#include <sys/signalfd.h>
#include <unistd.h>

namespace ar {

int RunApplicationMode(int argc, char** argv, const std::string& commandLine, EventLog& log, ProcessStarter& starter) {
  // The event editor's web engine needs its set-up before the application exists (run as
  // root, its sandbox is switched off).
  PrepareWebEngine();
  // Start-up may show message boxes, so the application comes first.
  QApplication app(argc, argv);
  // The per-user settings (remembered folders of the file dialogs) live under these names.
  app.setOrganizationName("Autoresponder");
  app.setApplicationName("velquin");
  QtOperatorMessages messages;
  ControlProgram program(commandLine, messages, log, starter);
  if (!program.StartUp()) return program.ExitCode();
  {
    // Start-up goes on once the splash has closed itself.
    frmFastSplash splash(true);
    splash.exec();
  }
  frmMain window(program);
  messages.SetParent(&window);
  program.FinishStartUp();
  // SIGTERM and SIGINT, held since the start, end the loop as closing the window does: the
  // program ends with code 0, not killed by the signal. One that came during start-up is
  // read as soon as the loop runs.
  const sigset_t stop = StopSignalSet();
  const int stopFd = ::signalfd(-1, &stop, SFD_CLOEXEC | SFD_NONBLOCK);
  std::unique_ptr<QSocketNotifier> stopRequests;
  if (stopFd >= 0) {
    stopRequests = std::make_unique<QSocketNotifier>(stopFd, QSocketNotifier::Read);
    QObject::connect(stopRequests.get(), &QSocketNotifier::activated, &app, [stopFd] {
      signalfd_siginfo info{};
      while (::read(stopFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
      }
      QApplication::quit();
    });
  } else {
    ReleaseStopSignals();  // without the descriptor the signals take their default effect
  }
  window.show();
  // Closing the main window, the last one, ends the loop and the program.
  const int code = app.exec();
  stopRequests.reset();
  if (stopFd >= 0) ::close(stopFd);
  return code;
}

}  // namespace ar
