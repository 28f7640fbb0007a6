// The main window driven by object name on the offscreen platform, over a real control
// program; message boxes and opened files are answered and recorded.
#include "control/window/events/frmPageProperties.h"
#include "control/window/main/frmFastSplash.h"
#include "control/window/main/frmMain.h"
#include "control/window/templates/frmTemplates.h"
#include "store/DataFolder.h"
#include "tests/control/window/ModalWindows.h"
#include "tests/control/window/WindowTest.h"
#include "tests/support/ClockGuard.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gmock/gmock.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace ar {
namespace {

class MainWindow : public test::WindowTest {
 protected:
  void Start(const std::string& commandLine = "") {
    test::OffscreenApplication();
    window.reset();
    program.reset();  // one instance at a time
    program = std::make_unique<ControlProgram>(commandLine, messages, log, starter);
    ASSERT_TRUE(program->StartUp());
    window = std::make_unique<frmMain>(*program);
    messages.SetParent(window.get());
    window->show();
    MessageBoxes::ClearShown();
  }
  void TearDown() override {
    window.reset();
    program.reset();
    WindowTest::TearDown();
  }
  QAction* Entry(const char* name) {
    QAction* action = window->findChild<QAction*>(name);
    EXPECT_NE(action, nullptr) << name;
    return action;
  }
  void Choose(const char* name) {
    if (QAction* action = Entry(name)) action->trigger();
  }

  QtOperatorMessages messages;
  std::unique_ptr<ControlProgram> program;
  std::unique_ptr<frmMain> window;
};

TEST_F(MainWindow, FrameCaptionAndTheWholeMenu) {
  Start();
  EXPECT_EQ(window->windowTitle().toStdString(), "Autoresponder - Version 1.0.0");
  auto* area = qobject_cast<QMdiArea*>(window->centralWidget());
  ASSERT_NE(area, nullptr);
  ASSERT_EQ(area->subWindowList().size(), 1) << "the autoresponder list, shown at start-up";
  EXPECT_EQ(area->subWindowList()[0]->widget()->objectName().toStdString(), "frmProjectList");

  struct Item {
    std::string name, text;
    bool enabled;
  };
  struct Menu {
    std::string title;
    std::vector<Item> items;
  };
  const std::vector<Menu> expected = {
      {"&File",
       {{"menuSendSummaryEmail", "Send Summary Email", true},
        {"menuRunEventProcessing", "Run Event Processing", true},
        {"menuRunMonitorSystem", "Run Monitor System", true},
        {"menuExit", "E&xit", true}}},
      {"&Settings",
       {{"menuConfiguration", "&Configuration", true},
        {"menuBlackoutDays", "Blackout Days", true},
        {"menuManageTemplates", "Manage &Templates", true}}},
      {"&Debug",
       {{"menuDebugMode", "&Debug Mode", true},
        {"menuViewTrace", "View trace.log", true},
        {"menuViewTracepop", "View tracepop.log", true}}},
      {"&Window", {}},
      {"&Help",
       {{"menuHelpFiles", "&Help Files", true},
        {"menuForums", "&Forums", true},
        {"menuSupport", "Support", true},
        {"menuUpdate", "Check for updates", true},
        {"menuAbout", "&About", true}}},
  };
  const QList<QAction*> bar = window->menuBar()->actions();
  ASSERT_EQ(bar.size(), static_cast<qsizetype>(expected.size()));
  for (size_t m = 0; m < expected.size(); ++m) {
    QMenu* menu = bar[m]->menu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title().toStdString(), expected[m].title);
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), static_cast<qsizetype>(expected[m].items.size())) << expected[m].title;
    for (size_t i = 0; i < expected[m].items.size(); ++i) {
      const Item& want = expected[m].items[i];
      EXPECT_EQ(items[i]->objectName().toStdString(), want.name);
      EXPECT_EQ(items[i]->text().toStdString(), want.text) << want.name;
      EXPECT_EQ(items[i]->isEnabled(), want.enabled) << want.name;
      EXPECT_EQ(items[i]->isCheckable(), want.name == "menuDebugMode") << want.name;
    }
  }
  EXPECT_EQ(window->findChild<QMenu*>("menuWindow"), bar[3]->menu());

  for (const char* name : {"timerProcess", "timerSummaryReportEmail"}) {
    auto* timer = window->findChild<QTimer*>(name);
    ASSERT_NE(timer, nullptr) << name;
    EXPECT_TRUE(timer->isActive()) << name;
    EXPECT_EQ(timer->interval(), 60000) << name;
  }
}

TEST_F(MainWindow, DebugModeCheckMarkStartsClearedAndFlipsTheSwitch) {
  for (const std::string commandLine : {"", "/d"}) {
    SCOPED_TRACE(commandLine);
    Start(commandLine);
    EXPECT_EQ(DebugSwitch(), commandLine == "/d");
    QAction* entry = Entry("menuDebugMode");
    ASSERT_NE(entry, nullptr);
    EXPECT_FALSE(entry->isChecked());

    // After "/d" the first use leaves debugging on.
    for (const bool on : {true, false, true}) {
      MessageBoxes::ClearShown();
      entry->trigger();
      EXPECT_EQ(entry->isChecked(), on);
      EXPECT_EQ(DebugSwitch(), on);
      ASSERT_EQ(Boxes().size(), 1u);
      EXPECT_EQ(Boxes()[0].text, on ? "Debug has been turn on" : "Debug has been turn off");
      EXPECT_EQ(Boxes()[0].title, "Debug Mode");
      EXPECT_EQ(Boxes()[0].icon, MessageIcon::Information);
    }
    SetDebugSwitch(false);
  }
}

TEST_F(MainWindow, LogViewersOpenAnExistingLogOrSayThereIsNone) {
  Start();
  struct Case {
    const char* entry;
    const char* file;
    const char* missing;
  };
  for (const Case& c : {Case{"menuViewTrace", "trace.log", "No trace.log file exists yet"},
                        Case{"menuViewTracepop", "tracepop.log", "No tracepop.log file exists yet"}}) {
    SCOPED_TRACE(c.entry);
    const std::string path = db.Folder() + "/debug/" + c.file;
    ASSERT_FALSE(FileExists(path));
    MessageBoxes::ClearShown();
    Choose(c.entry);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, c.missing);
    EXPECT_EQ(Boxes()[0].title, "Autoresponder");
    EXPECT_EQ(Boxes()[0].icon, MessageIcon::Information);
    EXPECT_TRUE(DesktopOpener::Opened().empty());

    test::WriteWholeFile(path, "a line\r\n");
    MessageBoxes::ClearShown();
    Choose(c.entry);
    EXPECT_TRUE(Boxes().empty());
    ASSERT_EQ(DesktopOpener::Opened().size(), 1u);
    EXPECT_EQ(DesktopOpener::Opened()[0], path);
    std::remove(path.c_str());
    DesktopOpener::OpenForReal();
    DesktopOpener::RecordForTests();
  }
}

TEST_F(MainWindow, HelpEntriesOpenTheProgramsOwnDocumentation) {
  Start();
  const std::string doc = ProgramFolder() + "/doc/";
  for (const auto& [entry, file] : {std::pair{"menuHelpFiles", "README.md"}, std::pair{"menuForums", "SUPPORT.md"},
                                    std::pair{"menuSupport", "SUPPORT.md"}, std::pair{"menuUpdate", "SUPPORT.md"}}) {
    DesktopOpener::OpenForReal();
    DesktopOpener::RecordForTests();
    Choose(entry);
    ASSERT_EQ(DesktopOpener::Opened().size(), 1u) << entry;
    EXPECT_EQ(DesktopOpener::Opened()[0], doc + file) << entry;
  }
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(MainWindow, RunEventProcessingStartsAllAutorespondersAndSaysSo) {
  Start();
  Choose("menuRunEventProcessing");
  ASSERT_EQ(starter.started.size(), 1u);
  EXPECT_EQ(starter.started[0].program, program->ProgramFolder() + "/ostrel");
  EXPECT_EQ(starter.started[0].argument, "0");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "Run event checking for all autoresponders has been queued");
  EXPECT_EQ(Boxes()[0].title, "Autoresponder");
  EXPECT_EQ(Boxes()[0].icon, MessageIcon::Information);
}

TEST_F(MainWindow, RunMonitorSystemStartsTheMonitorOrReportsItMissing) {
  Start();
  const std::string tamsel = program->ProgramFolder() + "/tamsel";
  ASSERT_FALSE(FileExists(tamsel)) << "the tests' program folder holds no monitor";
  Choose("menuRunMonitorSystem");
  EXPECT_TRUE(starter.started.empty());
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].title, "Run Monitor System");
  EXPECT_EQ(Boxes()[0].icon, MessageIcon::Critical);
  EXPECT_NE(Boxes()[0].text.find(tamsel), std::string::npos) << Boxes()[0].text;
  EXPECT_TRUE(window->isVisible()) << "the program keeps running";

  // The same entry works once the monitor is there.
  test::WriteWholeFile(tamsel, "#!/bin/sh\n");
  ::chmod(tamsel.c_str(), 0755);
  MessageBoxes::ClearShown();
  Choose("menuRunMonitorSystem");
  std::remove(tamsel.c_str());
  ASSERT_EQ(starter.started.size(), 1u);
  EXPECT_EQ(starter.started[0].program, tamsel);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(MainWindow, SendSummaryEmailShowsTheMailsOutcomeOrItsFailure) {
  Start();
  // No SMTP server configured: the mail's own message.
  Choose("menuSendSummaryEmail");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "No SMTP server has been set");
  EXPECT_EQ(Boxes()[0].title, "No SMTP Server");
  EXPECT_TRUE(FileExists(db.Folder() + "/reports/summaryreport.txt"));

  // The report cannot be written: the failure is shown and the window stays.
  const std::string reports = db.Folder() + "/reports";
  std::remove((reports + "/summaryreport.txt").c_str());
  ASSERT_EQ(::rmdir(reports.c_str()), 0);
  test::WriteWholeFile(reports, "not a folder");
  MessageBoxes::ClearShown();
  Choose("menuSendSummaryEmail");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].title, "Send Summary Email");
  EXPECT_EQ(Boxes()[0].icon, MessageIcon::Critical);
  EXPECT_NE(Boxes()[0].text.find("summaryreport.txt"), std::string::npos) << Boxes()[0].text;
  EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindow, TimersDriveTheScheduleAndTheDailySummary) {
  test::ClockGuard clock(test::Day(2026, 3, 2, 9, 0, 10));
  db.Config().Execute("update tblConfiguration set EnableDailySummaryEmail=-1, SummaryReportEmailTime='9:00am'");
  Start();
  auto* process = window->findChild<QTimer*>("timerProcess");
  auto* summary = window->findChild<QTimer*>("timerSummaryReportEmail");
  ASSERT_TRUE(process && summary);

  // The first tick of the run timer starts the cycle (no run at start).
  EXPECT_FALSE(program->Scheduler().LastRunStart().has_value());
  process->setInterval(0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return program->Scheduler().LastRunStart().has_value(); }, 5000));
  EXPECT_TRUE(starter.started.empty());
  process->stop();

  // At the configured minute the summary timer builds and mails the report.
  summary->setInterval(0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Boxes().empty(); }, 5000));
  summary->stop();
  EXPECT_EQ(Boxes()[0].text, "No SMTP server has been set");
  EXPECT_TRUE(FileExists(db.Folder() + "/reports/summaryreport.txt"));
}

TEST_F(MainWindow, TicksWaitWhileAMessageBoxIsOpen) {
  Start();
  auto* process = window->findChild<QTimer*>("timerProcess");
  ASSERT_NE(process, nullptr);
  process->setInterval(0);
  bool tickedDuringBox = true;
  MessageBoxes::AnswerForTests([&](const ShownMessage&) {
    // The box's own event loop runs the timers' events.
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
    tickedDuringBox = program->Scheduler().LastRunStart().has_value();
  });
  Choose("menuRunEventProcessing");
  EXPECT_FALSE(tickedDuringBox);
  EXPECT_TRUE(program->Scheduler().LastRunStart().has_value()) << "the held tick runs once the box has closed";
  process->stop();
}

TEST_F(MainWindow, AboutShowsTheSplashWithItsCloseButtonAndNoTimer) {
  Start();
  bool seen = false;
  QTimer::singleShot(0, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    auto* splash = qobject_cast<frmFastSplash*>(modal);
    if (!splash) {
      ADD_FAILURE() << "no splash";
      if (modal) modal->close();
      return;
    }
    seen = true;
    EXPECT_EQ(splash->parentWidget(), window.get());
    auto* label = splash->findChild<QLabel*>("lblVersion");
    auto* close = splash->findChild<QPushButton*>("cmdClose");
    auto* timer = splash->findChild<QTimer*>("timerSplash");
    if (!label || !close || !timer) {
      ADD_FAILURE() << "splash without its label, button or timer";
      splash->close();
      return;
    }
    EXPECT_EQ(label->text().toStdString(), "Version  1.0.0");
    EXPECT_TRUE(close->isVisible());
    EXPECT_FALSE(timer->isActive());
    QTest::mouseClick(close, Qt::LeftButton);
  });
  Choose("menuAbout");  // returns when the modal splash has closed
  EXPECT_TRUE(seen);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(MainWindow, TemplateWindowsOpenFromTheMenuAndForTheEventEditor) {
  Start();
  // From the menu: the program folder's templates, without the select button.
  test::WhenModalOpens<frmTemplates>([](frmTemplates* templates) {
    EXPECT_TRUE(templates->findChild<QPushButton*>("cmdSelect")->isHidden());
    templates->reject();
  });
  Choose("menuManageTemplates");
  // For the event editor: with it, and nothing chosen when closed.
  ASSERT_TRUE(Openers().chooseTemplate && Openers().pageProperties);
  test::WhenModalOpens<frmTemplates>([](frmTemplates* templates) {
    EXPECT_FALSE(templates->findChild<QPushButton*>("cmdSelect")->isHidden());
    templates->reject();
  });
  EXPECT_FALSE(Openers().chooseTemplate(window.get()).has_value());
  PageProperties properties{"", "", "", "#1A2B3C", "", ""};
  test::WhenModalOpens<frmPageProperties>([](frmPageProperties* page) {
    page->findChild<QCheckBox*>("cbLink")->click();
    QTest::mouseClick(page->findChild<QPushButton*>("cmdSave"), Qt::LeftButton);
  });
  EXPECT_TRUE(Openers().pageProperties(window.get(), properties));
  EXPECT_EQ(properties.link, "");
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(MainWindow, ChildWindowsAreListedAndCloseWithTheFrame) {
  Start();
  auto* area = qobject_cast<QMdiArea*>(window->centralWidget());
  auto* child = new QWidget;
  child->setWindowTitle("Autoresponders");
  QMdiSubWindow* sub = area->addSubWindow(child);
  sub->setAttribute(Qt::WA_DeleteOnClose, false);
  sub->show();

  QMenu* list = window->findChild<QMenu*>("menuWindow");
  ASSERT_NE(list, nullptr);
  emit list->aboutToShow();
  ASSERT_EQ(list->actions().size(), 2);
  EXPECT_EQ(list->actions()[0]->text().toStdString(), "Autoresponder Management");
  EXPECT_EQ(list->actions()[1]->text().toStdString(), "Autoresponders");

  EXPECT_FALSE(window->AppClosing());
  EXPECT_TRUE(window->close());
  EXPECT_TRUE(window->AppClosing());
  EXPECT_FALSE(sub->isVisible()) << "child windows close with the frame";
}

TEST_F(MainWindow, ExitEndsTheProcessAtOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        Start();
        Choose("menuExit");
        std::fprintf(stderr, "still running\n");
        std::_Exit(3);
      },
      ::testing::ExitedWithCode(0), ::testing::Not(::testing::HasSubstr("still running")));
}

}  // namespace
}  // namespace ar
