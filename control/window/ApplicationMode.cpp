#include "control/window/ApplicationMode.h"

#include "control/ControlProgram.h"
#include "control/window/frmFastSplash.h"
#include "control/window/frmMain.h"
#include "widgets/MessageBoxes.h"

#include <QApplication>
#include <cstdlib>
#include <unistd.h>

namespace ar {

int RunApplicationMode(int argc, char** argv, const std::string& commandLine, EventLog& log, ProcessStarter& starter) {
  // The web engine's sandbox refuses to run as root: without it, the windows that show
  // pages (the template gallery, the event editor) work there too.
  if (::geteuid() == 0) ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
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
