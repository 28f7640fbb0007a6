// The main window on the offscreen platform, found by object name, with message boxes
// and file opening answered by the test.
#include "control/ControlProgram.h"
#include "control/window/frmFastSplash.h"
#include "control/window/frmMain.h"
#include "store/Trace.h"
#include "tests/support/TestDatabases.h"
#include "widgets/DesktopOpener.h"
#include "widgets/MessageBoxes.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <gtest/gtest.h>

namespace ar {
namespace {

struct NoStarts : ProcessStarter {
  std::vector<std::string> programs;
  pid_t Start(const std::string& program, const std::string&) override {
    programs.push_back(program);
    return 4242;
  }
  bool Running(pid_t) override { return false; }
};

QApplication& App() {
  static int argc = 1;
  static char name[] = "velquin";
  static char* argv[] = {name, nullptr};
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QApplication app(argc, argv);
  return app;
}

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    ::setenv("AUTORESPONDER_DATA", db.Folder().c_str(), 1);
    MessageBoxes::SetAnswerer([this](const ShownMessage& m) { shown.push_back(m); });
    DesktopOpener::SetRecorder([this](const std::string& path) { opened.push_back(path); });
    ASSERT_TRUE(program.StartUp());
    window = std::make_unique<frmMain>(program);
    window->show();
  }
  void TearDown() override {
    window.reset();
    MessageBoxes::SetAnswerer(nullptr);
    DesktopOpener::SetRecorder(nullptr);
    ::unsetenv("AUTORESPONDER_DATA");
    SetDebugSwitch(false);
    SetTraceFile("");
  }
  QAction* Entry(const char* name) {
    QAction* a = window->findChild<QAction*>(name);
    EXPECT_NE(a, nullptr) << name;
    return a;
  }
  const ShownMessage& LastShown() { return shown.back(); }

  test::TestDatabases db;
  std::vector<ShownMessage> shown;
  std::vector<std::string> opened;
  QtOperatorMessages messages;
  RecordingEventLog log;
  NoStarts starter;
  ControlProgram program{"", messages, log, starter};
  std::unique_ptr<frmMain> window;
};

TEST_F(MainWindow, CaptionMenusAndTimers) {
  EXPECT_EQ(window->windowTitle().toStdString(), MainCaption());
  std::vector<std::string> menus;
  for (QAction* a : window->menuBar()->actions()) menus.push_back(a->text().toStdString());
  EXPECT_EQ(menus, (std::vector<std::string>{"&File", "&Settings", "&Debug", "&Window", "&Help"}));
  struct Item { const char* name; const char* text; bool enabled; };
  const Item items[] = {
      {"menuSendSummaryEmail", "Send Summary Email", true}, {"menuRunEventProcessing", "Run Event Processing", true},
      {"menuRunMonitorSystem", "Run Monitor System", true}, {"menuExit", "E&xit", true},
      {"menuConfiguration", "&Configuration", false},       {"menuBlackoutDays", "Blackout Days", false},
      {"menuManageTemplates", "Manage &Templates", false},  {"menuDebugMode", "&Debug Mode", true},
      {"menuViewTrace", "View trace.log", true},            {"menuViewTracepop", "View tracepop.log", true},
      {"menuHelpFiles", "&Help Files", true},               {"menuForums", "&Forums", true},
      {"menuSupport", "Support", true},                     {"menuUpdate", "Check for updates", true},
      {"menuAbout", "&About", true},
  };
  for (const Item& i : items) {
    QAction* a = Entry(i.name);
    if (!a) continue;
    EXPECT_EQ(a->text().toStdString(), i.text);
    EXPECT_EQ(a->isEnabled(), i.enabled) << i.name;
  }
  for (const char* t : {"timerProcess", "timerSummaryReportEmail"}) {
    QTimer* timer = window->findChild<QTimer*>(t);
    ASSERT_NE(timer, nullptr) << t;
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 60000);
  }
}

TEST_F(MainWindow, DebugModeFlipsWithItsCheckMark) {
  QAction* debug = Entry("menuDebugMode");
  EXPECT_FALSE(debug->isChecked());
  debug->trigger();
  EXPECT_TRUE(debug->isChecked());
  EXPECT_TRUE(DebugSwitch());
  EXPECT_EQ(LastShown().text, "Debug has been turn on");
  EXPECT_EQ(LastShown().title, "Debug Mode");
  debug->trigger();
  EXPECT_FALSE(DebugSwitch());
  EXPECT_EQ(LastShown().text, "Debug has been turn off");
}

TEST_F(MainWindow, LogViewersOpenExistingLogsOnly) {
  std::remove((db.Folder() + "/debug/trace.log").c_str());
  Entry("menuViewTrace")->trigger();
  EXPECT_EQ(LastShown().text, "No trace.log file exists yet");
  Entry("menuViewTracepop")->trigger();
  EXPECT_EQ(LastShown().text, "No tracepop.log file exists yet");
  EXPECT_TRUE(opened.empty());
  test::WriteWholeFile(db.Folder() + "/debug/tracepop.log", "x");
  Entry("menuViewTracepop")->trigger();
  EXPECT_EQ(opened, std::vector<std::string>{db.Folder() + "/debug/tracepop.log"});
}

TEST_F(MainWindow, FileMenuCommands) {
  Entry("menuRunEventProcessing")->trigger();
  EXPECT_EQ(LastShown().text, "Run event checking for all autoresponders has been queued");
  EXPECT_EQ(starter.programs.size(), 1u);
  // No monitor next to the test program: reported, and the window goes on.
  Entry("menuRunMonitorSystem")->trigger();
  EXPECT_EQ(LastShown().text.rfind("Error: ", 0), 0u) << LastShown().text;
  EXPECT_EQ(LastShown().icon, MessageIcon::Critical);
  EXPECT_TRUE(window->isVisible());
  // No SMTP server configured: the summary mail says so.
  Entry("menuSendSummaryEmail")->trigger();
  EXPECT_EQ(LastShown().text, "No SMTP server has been set");
}

TEST_F(MainWindow, HelpOpensTheProgramsDocumentation) {
  Entry("menuHelpFiles")->trigger();
  Entry("menuSupport")->trigger();
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0], program.ProgramFolder() + "/doc/README.md");
  EXPECT_EQ(opened[1], program.ProgramFolder() + "/doc/SUPPORT.md");
}

TEST_F(MainWindow, AboutShowsTheSplashWithItsCloseButton) {
  bool checked = false;
  QTimer::singleShot(0, [&] {
    auto* splash = qobject_cast<frmFastSplash*>(QApplication::activeModalWidget());
    ASSERT_NE(splash, nullptr);
    EXPECT_EQ(splash->findChild<QLabel*>("lblVersion")->text().toStdString(), "Version  " + VersionText());
    auto* close = splash->findChild<QPushButton*>("cmdClose");
    EXPECT_TRUE(close->isVisible());
    checked = true;
    close->click();
  });
  Entry("menuAbout")->trigger();
  EXPECT_TRUE(checked);
}

TEST(Splash, AtStartItClosesItselfAndHidesClose) {
  App();
  frmFastSplash splash(true);
  splash.show();
  EXPECT_FALSE(splash.findChild<QPushButton*>("cmdClose")->isVisible());
  EXPECT_TRUE(splash.findChild<QTimer*>("timerSplash")->isActive());
  EXPECT_EQ(splash.findChild<QTimer*>("timerSplash")->interval(), 2000);
}

}  // namespace
}  // namespace ar
