// Application mode from start to end, each run in a child process of its own (it makes
// its own application object): the self-closing splash first, then the main window,
// whose closing ends the program. A watcher started with the application reports what
// it sees on standard error and closes the main window.
#include "control/window/main/ApplicationMode.h"
#include "control/window/main/frmFastSplash.h"
#include "control/window/main/frmMain.h"
#include "tests/control/window/WindowTest.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMdiArea>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <gmock/gmock.h>

namespace ar {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

void Say(const std::string& line) {
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

// Runs inside the application object's construction: watches the top-level windows.
void StartWatcher() {
  auto* watcher = new QTimer(QCoreApplication::instance());
  watcher->setInterval(5);
  QObject::connect(watcher, &QTimer::timeout, [] {
    static bool splashSeen = false;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (!w->isVisible()) continue;
      if (auto* splash = qobject_cast<frmFastSplash*>(w); splash && !splashSeen) {
        splashSeen = true;
        auto* timer = splash->findChild<QTimer*>("timerSplash");
        auto* close = splash->findChild<QPushButton*>("cmdClose");
        auto* label = splash->findChild<QLabel*>("lblVersion");
        Say("splash modal=" + std::to_string(splash->isModal()) +
            " timer=" + std::to_string(timer && timer->isActive() ? timer->interval() : -1) +
            " close=" + (close && close->isVisible() ? "shown" : "hidden") +
            " label=[" + (label ? label->text().toStdString() : "") + "]");
        // Let the splash's own timer close it without waiting the two seconds.
        if (timer && timer->isActive()) timer->setInterval(0);
      } else if (auto* main = qobject_cast<frmMain*>(w)) {
        auto* area = qobject_cast<QMdiArea*>(main->centralWidget());
        Say("main after-splash=" + std::to_string(splashSeen) + " caption=[" + main->windowTitle().toStdString() +
            "] children=" + std::to_string(area ? area->subWindowList().size() : -1));
        main->close();
        Say("closed app-closing=" + std::to_string(main->AppClosing()));
      }
    }
  });
  watcher->start();
}

class ApplicationMode : public test::WindowTest {
 protected:
  int Run(const std::string& commandLine) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    MessageBoxes::AnswerForTests([](const ShownMessage& box) { Say("box [" + box.title + "] " + box.text); });
    qAddPreRoutine(StartWatcher);
    char name[] = "velquin";
    char* argv[] = {name, nullptr};
    return RunApplicationMode(1, argv, commandLine, log, starter);
  }
};

TEST_F(ApplicationMode, SplashThenMainWindowUntilItCloses) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::exit(Run("")), ::testing::ExitedWithCode(0),
              AllOf(HasSubstr("splash modal=1 timer=2000 close=hidden label=[Version  1.0.0]\n"),
                    HasSubstr("main after-splash=1 caption=[Autoresponder - Version 1.0.0] children=1\n"),
                    HasSubstr("closed app-closing=1\n"), Not(HasSubstr("box "))));
}

TEST_F(ApplicationMode, AnotherInstanceEndsStartUpWithItsMessageAndNoWindow) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        struct Silent : OperatorMessages {
          void ShowMessage(const std::string&, const std::string&, MessageIcon) override {}
        } first;
        ControlProgram running("", first, log, starter);
        if (!running.StartUp()) std::exit(7);
        std::exit(Run(""));
      },
      ::testing::ExitedWithCode(kControlExitAlreadyRunning),
      AllOf(HasSubstr("box [Autoresponder] A previous instance of Autoresponder is already running"),
            Not(HasSubstr("splash ")), Not(HasSubstr("main "))));
}

}  // namespace
}  // namespace ar
