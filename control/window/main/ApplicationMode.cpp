#include "control/window/main/ApplicationMode.h"

#include "control/program/ControlProgram.h"
#include "control/window/main/frmFastSplash.h"
#include "control/window/main/frmMain.h"
#include "widgets/MessageBoxes.h"
#include "widgets/web/WebEngineSetUp.h"

#include <QApplication>

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
  window.show();
  // Closing the main window, the last one, ends the loop and the program.
  return app.exec();
}

}  // namespace ar
