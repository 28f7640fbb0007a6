#include "monitor/window/MonitorProgram.h"

#include "base/Trace.h"
#include "monitor/ExitSignals.h"
#include "monitor/ShowRequest.h"
#include "monitor/TrapLines.h"
#include "monitor/window/NotificationIcon.h"
#include "monitor/window/ShowRequestServer.h"
#include "monitor/window/frmtamsel.h"
#include "store/DataFolder.h"
#include "store/PresenceMarker.h"
#include "store/ProgramArguments.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <unistd.h>

namespace ar {
namespace {

MonitorSetup Setup(const std::string& dataFolder) {
  MonitorSetup setup;
  setup.dataFolder = dataFolder;
  setup.programFolder = ProgramFolder();
  return setup;
}

std::string StartUp(int argc, char** argv) {
  const std::string dataFolder = GetDataFolder();
  SetTraceFile(dataFolder + "/debug/trace.log");
  SetDebugSwitch(CommandLineHasDebugSwitch(JoinArguments(argc, argv)));
  return dataFolder;
}

}  // namespace

int RunMonitor(int argc, char** argv) {
  QApplication app(argc, argv);
  // The window may be hidden with the monitor still running; the monitor ends when it
  // says so.
  app.setQuitOnLastWindowClosed(false);
  const std::string dataFolder = StartUp(argc, argv);

  PresenceMarker instance;
  if (!instance.Acquire(kMonitorWindowTitle, dataFolder)) {
    if (PresenceMarker::Exists(kMonitorWindowTitle, dataFolder)) {
      // Another monitor watches this data folder: bring its window forward instead.
      RequestMonitorWindow(dataFolder);
      return 0;
    }
    TrapLine("frmtamsel_load: ", "cannot take the single-instance marker in " + dataFolder);
  }

  SystemTrayIcon icon;
  frmtamsel window(Setup(dataFolder), icon);
  ShowRequestServer requests(dataFolder, [&window] {
    // A trace line that cannot be written does not keep the window back.
    TraceLogNoThrow("Window shown at another start's request");
    window.ShowMonitorWindow();
  });
  if (!requests.Listening()) TrapLine("frmtamsel_load: ", "cannot listen for show requests: " + requests.Error());

  const int stopFd = ExitSignalPipe();
  QSocketNotifier stop(QSocketNotifier::Read);
  if (stopFd >= 0) stop.setSocket(stopFd);
  stop.setEnabled(stopFd >= 0);
  QObject::connect(&stop, &QSocketNotifier::activated, &window, [&window, stopFd] {
    char drained[64];
    while (::read(stopFd, drained, sizeof drained) > 0) {
    }
    window.EndMonitor();
  });
  // Logging out ends the monitor, whether or not its window is shown.
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, &frmtamsel::EndMonitor);
  QObject::connect(&window, &frmtamsel::Ended, &app, &QCoreApplication::quit, Qt::QueuedConnection);

  window.show();
  window.Load();
  return app.exec();
}

frmtamsel* ShowMonitorForScreenshot(const std::string& dataFolder) {
  auto* icon = new SystemTrayIcon;
  auto* window = new frmtamsel(Setup(dataFolder), *icon);
  icon->setParent(window);
  window->show();
  window->Load();
  const QDeadlineTimer limit(60000);
  while ((window->RefreshesDone() == 0 || window->Refreshing()) && !limit.hasExpired())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
  QCoreApplication::processEvents();
  return window;
}

int SaveMonitorScreenshot(int argc, char** argv, const std::string& dataFolder, const std::string& pngPath) {
  QApplication app(argc, argv);
  SetTraceFile(dataFolder + "/debug/trace.log");
  frmtamsel* window = ShowMonitorForScreenshot(dataFolder);
  const bool saved = window->grab().save(QString::fromStdString(pngPath), "PNG");
  window->EndMonitor();
  delete window;
  return saved ? 0 : 1;
}

}  // namespace ar
