// window_screenshots OUTPUT_FOLDER [NAME...]: takes every registered shot (or the named
// ones) over a fresh sample data folder and saves OUTPUT_FOLDER/NAME.png. Run it on a
// real display server (scripts/screenshots.sh starts one under Xvfb); the offscreen
// platform also works but draws without the desktop's fonts and style.
#include "tests/screenshots/Shots.h"

#include "control/program/ControlProgram.h"
#include "control/window/main/frmMain.h"
#include "tests/screenshots/SampleData.h"
#include "widgets/DesktopOpener.h"
#include "widgets/FileDialogs.h"
#include "widgets/MessageBoxes.h"
#include "widgets/Pause.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QScreen>
#include <QStandardPaths>
#include <QWindow>

#include <algorithm>
#include <filesystem>
#include <unistd.h>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace ar::shots {
namespace {

struct Entry {
  int order;
  std::string name;
  Shot shot;
};

std::vector<Entry>& Registry() {
  static std::vector<Entry> entries;
  return entries;
}

// Nothing is started: a shot never runs a processor or the monitor.
struct NoStarter : ProcessStarter {
  pid_t Start(const std::string&, const std::string&) override { return -1; }
  bool Running(pid_t) override { return false; }
};

struct NoEventLog : EventLog {
  void Write(const std::string&, int) override {}
};

void Settle(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The window as the display server shows it (its frame when a window manager draws one).
QPixmap Picture(QWidget* widget) {
  QWidget* window = widget->window();
  if (QScreen* screen = window->screen(); screen && QGuiApplication::platformName() != "offscreen") {
    const QRect frame = window->frameGeometry();
    return screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
  }
  return window->grab();
}

}  // namespace

Registrar::Registrar(int order, const char* name, Shot shot) {
  Registry().push_back({order, name, std::move(shot)});
}

int Main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: window_screenshots OUTPUT_FOLDER [NAME...]\n";
    return 2;
  }
  const std::string output = argv[1];
  const std::set<std::string> wanted(argv + 2, argv + argc);

  QStandardPaths::setTestModeEnabled(true);
  const std::string home = QStandardPaths::writableLocation(QStandardPaths::TempLocation).toStdString();
  const std::string dataFolder = home + "/autoresponder-screenshots-" + std::to_string(::getpid());
  std::filesystem::create_directories(dataFolder);
  MakeSampleDataFolder(dataFolder);
  ::setenv("AUTORESPONDER_DATA", dataFolder.c_str(), 1);

  QApplication app(argc, argv);
  app.setOrganizationName("Autoresponder");
  app.setApplicationName("velquin");
  // Boxes and dialogs a shot might raise are answered; nothing is opened on the desktop.
  MessageBoxes::AnswerForTests();
  FileDialogs::AnswerForTests();
  Pause::InstantForTests();
  DesktopOpener::RecordForTests();

  QtOperatorMessages messages;
  NoEventLog log;
  NoStarter starter;
  ControlProgram program("", messages, log, starter);
  if (!program.StartUp()) return 1;
  frmMain main(program);
  messages.SetParent(&main);
  program.FinishStartUp();
  main.move(0, 0);
  main.show();
  Settle(300);

  std::vector<Entry> entries = Registry();
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.order < b.order; });
  ShotContext context{program, main, dataFolder};
  int failures = 0;
  for (const Entry& entry : entries) {
    if (!wanted.empty() && !wanted.count(entry.name)) continue;
    QWidget* shown = entry.shot(context);
    if (!shown) {
      std::cerr << entry.name << ": nothing was shown\n";
      ++failures;
      continue;
    }
    shown->window()->raise();
    Settle(400);
    const std::string file = output + "/" + entry.name + ".png";
    if (!Picture(shown).save(QString::fromStdString(file))) {
      std::cerr << entry.name << ": cannot write " << file << "\n";
      ++failures;
    } else {
      std::cout << file << "\n";
    }
    if (shown != &main) {
      shown->close();
      delete shown;
    }
    Settle(100);
  }
  std::filesystem::remove_all(dataFolder);
  return failures == 0 ? 0 : 1;
}

}  // namespace ar::shots

int main(int argc, char** argv) { return ar::shots::Main(argc, argv); }
