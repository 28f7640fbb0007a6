// The monitor's window driven by object name on the offscreen platform, over prepared
// databases, a process list of the test's own and a notification area the test controls.
#include "base/DayNumber.h"
#include "monitor/ShowRequest.h"
#include "monitor/window/NotificationIcon.h"
#include "monitor/window/ShowRequestServer.h"
#include "store/DatabaseFiles.h"
#include "store/PresenceMarker.h"
#include "tests/monitor/window/MonitorWindowTest.h"

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <cstdio>
#include <gmock/gmock.h>

namespace ar {
namespace {

using test::kNow;

const QColor kGreenColour(0, 255, 0);  // colour value 65280
const QColor kRedColour(255, 0, 0);    // colour value 255

class MonitorWindow : public test::MonitorWindowTest {
 protected:
  std::string Text(const char* label) { return Child<QLabel>(label)->text().toStdString(); }
  QColor Background(const char* label) { return Child<QLabel>(label)->palette().color(QPalette::Window); }
  QColor Letters(const char* label) { return Child<QLabel>(label)->palette().color(QPalette::WindowText); }
  QListWidget* List() { return Child<QListWidget>("lbStatus"); }
  std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    for (int i = 0; i < List()->count(); ++i) lines.push_back(List()->item(i)->text().toStdString());
    return lines;
  }
  void SetLastRun(double when, int newSubscribers, int sent) {
    data.db.Config().Execute("update tblStatus set LastOstrelRun=?, LastNewSubscribers=?, LastEmailsSent=?",
                             {when, newSubscribers, sent});
  }
  std::string Stamp() const { return FormatGeneralDateTime(kNow) + " - "; }
};

TEST_F(MonitorWindow, CaptionGroupsLabelsMenuAndIcon) {
  Open();
  EXPECT_EQ(window->windowTitle().toStdString(), "Autoresponder Stats");
  struct Group {
    const char* name;
    const char* caption;
    std::vector<std::string> captions;
    std::vector<std::string> values;
  };
  const Group groups[] = {
      {"fraRealTimeEvents", "Real-Time Events", {"Autoresponder is now: "}, {"lbStatus", "lblStatus"}},
      {"fraConnectionMonitor", "Connection Monitor",
       {"Autoresponders Active:", "Sending Status:", "Receiving Status:"},
       {"lblNumberAutoresponders", "lblSMTPStatus", "lblPOPStatus"}},
      {"fraSubscriberStats", "Subscriber Stats",
       {"Emails sent last 24hrs:", "New subscribers last 24hrs:", "Unsubscribes last 24hrs:"},
       {"lblEmailsLast24Hours", "lblNewSubscribersLast24Hours", "lblUnSubscribesLast24Hours"}},
  };
  for (const Group& g : groups) {
    auto* group = Child<QGroupBox>(g.name);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->title().toStdString(), g.caption);
    std::vector<std::string> captions;
    for (QLabel* label : group->findChildren<QLabel*>())
      if (label->objectName().isEmpty()) captions.push_back(label->text().toStdString());
    EXPECT_THAT(captions, ::testing::UnorderedElementsAreArray(g.captions)) << g.name;
    for (const std::string& value : g.values)
      EXPECT_NE(group->findChild<QWidget*>(QString::fromStdString(value)), nullptr) << value;
  }
  EXPECT_EQ(Child<QPushButton>("cmdClose")->text().toStdString(), "Close");
  EXPECT_NE(Child<QPushButton>("cmdManage"), nullptr);

  EXPECT_TRUE(timerWasActive);
  EXPECT_EQ(Timer()->interval(), 5000);

  // The icon: its picture, the fixed tooltip and the pop-up menu with "Open" as default.
  EXPECT_TRUE(icon->Shown());
  EXPECT_TRUE(icon->withPicture);
  EXPECT_EQ(icon->toolTip, "Autoresponder: Good");
  ASSERT_EQ(icon->menu, Child<QMenu>("mnuPopup"));
  const QList<QAction*> items = icon->menu->actions();
  ASSERT_EQ(items.size(), 2);
  EXPECT_EQ(items[0]->objectName(), "mnuPopupOpen");
  EXPECT_EQ(items[0]->text(), "Open");
  EXPECT_EQ(icon->menu->defaultAction(), items[0]);
  EXPECT_EQ(items[1]->objectName(), "mnuExit");
  EXPECT_EQ(items[1]->text(), "Exit");
}

TEST_F(MonitorWindow, RefreshShowsStatusesFiguresAndEachNewRunOnce) {
  const int64_t a1 = data.db.AddAutoresponder("a1", true);
  data.db.AddAutoresponder("a2", false);
  data.AddSubscriber(a1, 0.5, 0.2, 0.1);
  data.AddSubscriber(a1, 0.3, 0.3);
  data.AddSubscriber(a1, 2, 2, 2);
  SetLastRun(kNow - 0.01, 2, 3);
  data.db.Config().Execute("update tblStatus set LastSMTPStatus=-1, LastPOPStatus=0");
  Open();

  const std::string first = Stamp() + "Last processed: " + FormatGeneralDateTime(kNow - 0.01) + " - New: 2 - Sent: 3";
  EXPECT_THAT(Lines(), ::testing::ElementsAre(first));
  EXPECT_EQ(Text("lblEmailsLast24Hours"), "2");
  EXPECT_EQ(Text("lblNewSubscribersLast24Hours"), "2");
  EXPECT_EQ(Text("lblUnSubscribesLast24Hours"), "1");
  EXPECT_EQ(Text("lblNumberAutoresponders"), "1");
  EXPECT_EQ(Text("lblSMTPStatus"), "Error");
  EXPECT_EQ(Letters("lblSMTPStatus"), kRedColour);
  EXPECT_EQ(Text("lblPOPStatus"), "Good");
  EXPECT_EQ(Letters("lblPOPStatus"), kGreenColour);
  EXPECT_EQ(Text("lblStatus"), "");

  Refresh();
  EXPECT_EQ(Lines().size(), 1u) << "no new run, no new line";

  SetLastRun(kNow, 0, 5);
  data.db.Config().Execute("update tblStatus set LastSMTPStatus=Null");
  Refresh();
  EXPECT_THAT(Lines(), ::testing::ElementsAre(first, Stamp() + "Last processed: " + FormatGeneralDateTime(kNow) +
                                                         " - New: 0 - Sent: 5"));
  EXPECT_EQ(Text("lblSMTPStatus"), "Good");
  EXPECT_EQ(Letters("lblSMTPStatus"), kGreenColour);
}

TEST_F(MonitorWindow, TheTwoFirstFiguresShowWorkUnderWayUntilCounted) {
  data.AddSubscriber(data.db.AddAutoresponder("a1", true), 0.5, 0.5, 0.5);
  Open();
  window->RefreshStats();
  // Set and painted before the counting starts; the others keep their figures meanwhile.
  EXPECT_EQ(Text("lblEmailsLast24Hours"), "...");
  EXPECT_EQ(Text("lblNewSubscribersLast24Hours"), "...");
  EXPECT_EQ(Text("lblUnSubscribesLast24Hours"), "1");
  WaitForRefresh();
  EXPECT_EQ(Text("lblEmailsLast24Hours"), "1");
  EXPECT_EQ(Text("lblNewSubscribersLast24Hours"), "1");
}

TEST_F(MonitorWindow, TheControlProgramRunsByItsMarkerOrItsProgramFilesExactName) {
  AddProcess("/opt/velquin/tamsel");  // the monitor in a folder named after the control program
  AddProcess("/usr/bin/myvelquin");
  Open();
  EXPECT_EQ(Text("lblAutoresponderRunning"), "Autoresponder is not running");
  EXPECT_EQ(Background("lblAutoresponderRunning"), kRedColour);

  AddProcess("/usr/local/lib/autoresponder/velquin");
  Refresh();
  EXPECT_EQ(Text("lblAutoresponderRunning"), "Autoresponder is running");
  EXPECT_EQ(Background("lblAutoresponderRunning"), kGreenColour);

  // The service run by another user: not in this user's process list, but it holds the
  // control program's marker on the data folder.
  std::filesystem::remove_all(processes.Path());
  std::filesystem::create_directory(processes.Path());
  Refresh();
  EXPECT_EQ(Text("lblAutoresponderRunning"), "Autoresponder is not running");
  PresenceMarker service;
  ASSERT_TRUE(service.Acquire("velquin", data.db.Folder()));
  Refresh();
  EXPECT_EQ(Text("lblAutoresponderRunning"), "Autoresponder is running");
}

TEST_F(MonitorWindow, CheckingEmailsWhileAProcessorHoldsItsMarker) {
  Open();
  EXPECT_EQ(Text("lblStatus"), "");
  {
    PresenceMarker run;
    ASSERT_TRUE(run.Acquire("ostrel", data.db.Folder()));
    Refresh();
    EXPECT_EQ(Text("lblStatus"), "Checking emails...");
  }
  Refresh();
  EXPECT_EQ(Text("lblStatus"), "");
}

TEST_F(MonitorWindow, TheEventListKeeps1001LinesAndFollowsTheNewest) {
  Open();
  List()->clear();
  for (int i = 0; i < 1100; ++i) window->LogStatus("line " + std::to_string(i), false);
  ASSERT_EQ(List()->count(), 1001);
  EXPECT_EQ(List()->item(0)->text(), "line 99");
  EXPECT_EQ(List()->item(1000)->text(), "line 1099");
  window->LogStatus("stamped", true);
  EXPECT_EQ(List()->count(), 1001);
  EXPECT_EQ(List()->item(1000)->text().toStdString(), Stamp() + "stamped");
  EXPECT_EQ(List()->currentRow(), 1000);
  EXPECT_TRUE(List()->selectedItems().isEmpty());

  // A double click shows the line in a message box.
  emit List()->itemDoubleClicked(List()->item(1000));
  ASSERT_EQ(MessageBoxes::Shown().size(), 1u);
  EXPECT_EQ(MessageBoxes::Shown()[0].text, Stamp() + "stamped");
}

TEST_F(MonitorWindow, TheCloseBoxHidesWhileTheIconStaysAndExitEnds) {
  Open(true);
  QSignalSpy ended(window.get(), &frmtamsel::Ended);
  window->close();  // the close box
  EXPECT_TRUE(window->isHidden());
  EXPECT_TRUE(icon->Shown());
  EXPECT_FALSE(window->HasEnded());

  icon->DoubleClick();
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(icon->modified, 1);
  window->close();
  Child<QAction>("mnuPopupOpen")->trigger();
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(icon->modified, 2);
  EXPECT_EQ(ended.count(), 0);

  window->hide();
  Child<QAction>("mnuExit")->trigger();
  EXPECT_TRUE(window->HasEnded());
  EXPECT_EQ(ended.count(), 1);
  EXPECT_FALSE(icon->Shown());
  EXPECT_EQ(icon->deleted, 1);
  EXPECT_FALSE(Timer()->isActive());
}

TEST_F(MonitorWindow, WhileHiddenItFollowsTheRunsAndCountsWhenShownAgain) {
  const int64_t a1 = data.db.AddAutoresponder("a1", true);
  Open(true);
  EXPECT_EQ(Text("lblNewSubscribersLast24Hours"), "0");
  window->close();
  data.AddSubscriber(a1, 0.5);
  SetLastRun(kNow, 1, 0);
  Refresh();
  EXPECT_EQ(Lines().size(), 2u) << "the new run is listed";
  EXPECT_EQ(Text("lblNewSubscribersLast24Hours"), "0") << "nobody sees the figures: they are not counted";

  icon->DoubleClick();
  WaitForRefresh();
  EXPECT_EQ(Text("lblNewSubscribersLast24Hours"), "1");
}

TEST_F(MonitorWindow, WithoutANotificationAreaTheCloseBoxEndsTheMonitor) {
  Open(false);
  EXPECT_FALSE(icon->Shown());
  QSignalSpy ended(window.get(), &frmtamsel::Ended);
  window->close();
  EXPECT_TRUE(window->HasEnded());
  EXPECT_EQ(ended.count(), 1);
}

TEST_F(MonitorWindow, CloseButtonEndsTheMonitorEvenWithItsIcon) {
  Open(true);
  Child<QPushButton>("cmdClose")->click();
  EXPECT_TRUE(window->HasEnded());
  EXPECT_TRUE(window->isHidden());
  EXPECT_FALSE(icon->Shown());
}

TEST_F(MonitorWindow, ManageStartsTheControlProgramFromTheMonitorsFolder) {
  Open();
  Child<QPushButton>("cmdManage")->click();
  EXPECT_THAT(started, ::testing::ElementsAre("/opt/autoresponder/velquin"));
  EXPECT_TRUE(MessageBoxes::Shown().empty());

  startWorks = false;
  Child<QPushButton>("cmdManage")->click();
  ASSERT_EQ(MessageBoxes::Shown().size(), 1u);
  EXPECT_EQ(MessageBoxes::Shown()[0].text, "The control program /opt/autoresponder/velquin cannot be started");
  EXPECT_EQ(MessageBoxes::Shown()[0].icon, MessageIcon::Critical);
}

TEST_F(MonitorWindow, UnreadableDatabasesAreShownAndTheWindowRecoversWhenTheyCanBeRead) {
  data.AddSubscriber(data.db.AddAutoresponder("a1", true), 0.5, 0.5, 0.5);
  const std::string path = AutoresponderDbPath(data.db.Folder());
  ASSERT_EQ(std::rename(path.c_str(), (path + ".aside").c_str()), 0);
  Open();

  ASSERT_EQ(Lines().size(), 1u);
  EXPECT_EQ(Lines()[0].rfind(Stamp() + "The databases cannot be read: cannot open " + path, 0), 0u) << Lines()[0];
  for (const char* label : {"lblEmailsLast24Hours", "lblNewSubscribersLast24Hours", "lblUnSubscribesLast24Hours",
                            "lblNumberAutoresponders", "lblSMTPStatus", "lblPOPStatus"})
    EXPECT_EQ(Text(label), "...") << label;
  EXPECT_EQ(Text("lblAutoresponderRunning"), "Autoresponder is not running");
  EXPECT_EQ(data.TraceLinesWith(" frmtamsel_load: cannot open " + path), 1u) << data.Trace();
  EXPECT_TRUE(icon->Shown()) << "the icon comes also when the databases cannot be opened";

  Refresh();
  EXPECT_EQ(Lines().size(), 1u) << "the same failure is reported once";

  ASSERT_EQ(std::rename((path + ".aside").c_str(), path.c_str()), 0);
  Refresh();
  ASSERT_EQ(Lines().size(), 3u);
  EXPECT_EQ(Lines()[1], Stamp() + "The databases can be read again");
  EXPECT_EQ(Lines()[2], Stamp() + "Last processed:  - New: 0 - Sent: 0");
  EXPECT_EQ(Text("lblEmailsLast24Hours"), "1");
  EXPECT_EQ(Text("lblNumberAutoresponders"), "1");
  EXPECT_EQ(Text("lblSMTPStatus"), "Good");
}

TEST_F(MonitorWindow, AnotherProgramBringsTheHiddenWindowForward) {
  Open(true);
  EXPECT_FALSE(RequestMonitorWindow(data.db.Folder())) << "nobody listens yet";
  ShowRequestServer requests(data.db.Folder(), [this] { window->ShowMonitorWindow(); });
  ASSERT_TRUE(requests.Listening()) << requests.Error();
  window->close();
  ASSERT_TRUE(window->isHidden());
  EXPECT_TRUE(RequestMonitorWindow(data.db.Folder()));
  EXPECT_TRUE(QTest::qWaitFor([this] { return window->isVisible(); }, 20000));
}

// The desktop's own icon on a display without a notification area (the offscreen
// platform): it says so, which makes the close box end the monitor (see above) instead of
// hiding its only window for good.
TEST(SystemTrayIconWithoutNotificationArea, IsNotShown) {
  test::MonitorApplication();
  SystemTrayIcon icon;
  QMenu menu;
  EXPECT_FALSE(icon.Add(QIcon(), "Autoresponder Stats", &menu));
  EXPECT_FALSE(icon.Shown());
  icon.Delete();
  EXPECT_FALSE(icon.Shown());
}

}  // namespace
}  // namespace ar
