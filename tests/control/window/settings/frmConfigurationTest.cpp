// The configuration window on the offscreen platform over a real database: every field
// loaded and saved, the summary fields following their check box, the summary time
// written back, a refused save, and the SMTP test opened with the values as typed. Also
// how the main window opens it and the mailbox test.
#include "control/window/main/frmMain.h"
#include "control/window/settings/frmConfiguration.h"
#include "control/window/settings/frmTestPOPServer.h"
#include "control/window/settings/frmTestSMTPServer.h"
#include "tests/control/window/ModalDialog.h"
#include "tests/control/window/WindowTest.h"
#include "tests/support/FakeServer.h"

#include <QAction>
#include <QCheckBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTest>
#include <vector>
#include <gmock/gmock.h>
#include <memory>

namespace ar {
namespace {

using namespace std::chrono_literals;
using test::FakeServer;
using test::Script;
using ::testing::ElementsAre;

constexpr int kGenerousMs = 10000;

std::vector<std::string> Lines(QWidget* dialog) {
  std::vector<std::string> lines;
  auto* list = dialog->findChild<QListWidget*>("lbList");
  for (int i = 0; list && i < list->count(); ++i) lines.push_back(list->item(i)->text().toStdString());
  return lines;
}

bool WaitUntilFinished(QWidget* dialog) {
  return QTest::qWaitFor([&] { return dialog->findChild<QPushButton*>("cmdContinue")->isEnabled(); }, kGenerousMs);
}

class ConfigurationWindow : public test::WindowTest {
 protected:
  void SetUp() override {
    test::OffscreenApplication();
    WindowTest::SetUp();
  }
  void TearDown() override {
    window.reset();
    EXPECT_TRUE(ServerCheckRunner::WaitForAbandoned(10s));
    WindowTest::TearDown();
  }
  void Open() {
    window = std::make_unique<frmConfiguration>(db.Config());
    window->show();
  }
  QLineEdit* Text(const char* name) {
    auto* w = window->findChild<QLineEdit*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QCheckBox* Check(const char* name) {
    auto* w = window->findChild<QCheckBox*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void Click(const char* name) {
    auto* button = window->findChild<QPushButton*>(name);
    ASSERT_NE(button, nullptr) << name;
    QTest::mouseClick(button, Qt::LeftButton);
  }
  // The summary time field losing the focus, then the events that follow it.
  void LeaveSummaryTime() {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(Text("txtSummaryReportEmailTime"), &out);
    QCoreApplication::processEvents();
  }
  RowSet Row() { return db.Config().Query("select * from tblConfiguration"); }

  std::unique_ptr<frmConfiguration> window;
};

TEST_F(ConfigurationWindow, LoadsEveryFieldAndSavesEveryFieldAsTyped) {
  db.Config().Execute(
      "update tblConfiguration set SMTPServer='smtp.example.com', SMTPUsername='ann', SMTPPassword='secret',"
      " EnableSMTPSSL=-1, EnablePreflight=0, POPCycleMinutes=15, SummaryReportEmail='boss@example.com',"
      " SummaryReportEmailTime='7:00am', EnableDailySummaryEmail=NULL, HELOName=NULL");
  Open();
  EXPECT_EQ(window->windowTitle().toStdString(), "Configuration");
  EXPECT_EQ(Text("txtSMTPServer")->text().toStdString(), "smtp.example.com");
  EXPECT_EQ(Text("txtSMTPUsername")->text().toStdString(), "ann");
  EXPECT_EQ(Text("txtSMTPPassword")->text().toStdString(), "secret");
  EXPECT_EQ(Text("txtSMTPPassword")->echoMode(), QLineEdit::Password) << "the password is never shown";
  EXPECT_TRUE(Check("cbEnableSMTPSSL")->isChecked());
  EXPECT_FALSE(Check("cbEnablePreflight")->isChecked());
  EXPECT_EQ(Text("txtPOPCycleMinutes")->text().toStdString(), "15");
  EXPECT_EQ(Text("txtSummaryReportEmail")->text().toStdString(), "boss@example.com");
  EXPECT_EQ(Text("txtSummaryReportEmailTime")->text().toStdString(), "7:00am");
  EXPECT_FALSE(Check("cbEnableDailySummaryEmail")->isChecked()) << "Null is unchecked";
  EXPECT_EQ(Text("txtHELOName")->text().toStdString(), "");
  EXPECT_EQ(Check("cbEnableSMTPSSL")->text().toStdString(), "This server requires an encrypted connection  (SSL)");

  Text("txtSMTPServer")->setText("mail.example.org:587");
  Text("txtSMTPUsername")->setText("bob");
  Text("txtSMTPPassword")->setText("new secret");
  QTest::mouseClick(Check("cbEnableSMTPSSL"), Qt::LeftButton);
  QTest::mouseClick(Check("cbEnablePreflight"), Qt::LeftButton);
  Text("txtPOPCycleMinutes")->setText("30");
  // The daily summary stays unchecked: its fields are saved all the same.
  Text("txtSummaryReportEmail")->setText("a@example.org,b@example.org");
  Text("txtSummaryReportEmailTime")->setText("6:30pm");
  QTest::keyClicks(Text("txtHELOName"), QString(300, 'h'));
  Click("cmdSave");

  EXPECT_FALSE(window->isVisible()) << "saving closes the window";
  EXPECT_TRUE(Boxes().empty());
  RowSet row = Row();
  EXPECT_EQ(row.Field("SMTPServer").AsText(), "mail.example.org:587");
  EXPECT_EQ(row.Field("SMTPUsername").AsText(), "bob");
  EXPECT_EQ(row.Field("SMTPPassword").AsText(), "new secret");
  EXPECT_EQ(row.Field("EnableSMTPSSL"), Value(kNo));
  EXPECT_EQ(row.Field("EnablePreflight"), Value(kYes));
  EXPECT_EQ(row.Field("POPCycleMinutes"), Value(30));
  EXPECT_EQ(row.Field("SummaryReportEmail").AsText(), "a@example.org,b@example.org");
  EXPECT_EQ(row.Field("SummaryReportEmailTime").AsText(), "6:30pm");
  EXPECT_EQ(row.Field("EnableDailySummaryEmail"), Value(kNo));
  EXPECT_EQ(row.Field("HELOName").AsText(), std::string(255, 'h')) << "cut to the column's size";
}

TEST_F(ConfigurationWindow, CancelClosesWithoutSaving) {
  Open();
  Text("txtSMTPServer")->setText("changed.example.com");
  Click("cmdCancel");
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(Row().Field("SMTPServer").AsText(), "");
}

TEST_F(ConfigurationWindow, TheDailySummaryCheckBoxSwitchesItsFieldsAndLabels) {
  const char* const controls[] = {"lblSummaryReportEmail", "txtSummaryReportEmail", "lblSummaryReportEmailHint",
                                  "lblSummaryReportEmailTime", "txtSummaryReportEmailTime"};
  auto enabled = [&] {
    std::vector<bool> states;
    for (const char* name : controls) {
      QWidget* w = window->findChild<QWidget*>(name);
      EXPECT_NE(w, nullptr) << name;
      states.push_back(w && w->isEnabled());
    }
    return states;
  };
  for (const bool stored : {true, false}) {
    db.Config().Execute("update tblConfiguration set EnableDailySummaryEmail=?", {stored});
    Open();
    EXPECT_THAT(enabled(), ::testing::Each(stored)) << "on load";
    Check("cbEnableDailySummaryEmail")->click();
    EXPECT_THAT(enabled(), ::testing::Each(!stored)) << "after a click";
    Check("cbEnableDailySummaryEmail")->click();
    EXPECT_THAT(enabled(), ::testing::Each(stored)) << "after a second click";
  }
  EXPECT_EQ(window->findChild<QLabel*>("lblSummaryReportEmailHint")->text().toStdString(),
            "Enter email addresses separated by commas");
}

TEST_F(ConfigurationWindow, TheSummaryTimeIsWrittenBackWhenTheFieldIsLeft) {
  Open();
  struct Case {
    const char* typed;
    const char* shown;
    bool refused;
  } cases[] = {{"14:05", "2:05pm", false}, {"9:30 pm", "9:30pm", false}, {"0:00", "12:00am", false},
               {"7am", "7:00am", false},   {"", "", false},               {"soon", "", true},
               {"25:00", "", true}};
  for (const Case& c : cases) {
    MessageBoxes::ClearShown();
    Text("txtSummaryReportEmailTime")->setText(c.typed);
    LeaveSummaryTime();
    EXPECT_EQ(Text("txtSummaryReportEmailTime")->text().toStdString(), c.shown) << c.typed;
    ASSERT_EQ(Boxes().size(), c.refused ? 1u : 0u) << c.typed;
    if (c.refused) {
      EXPECT_EQ(Boxes()[0].text, "Use time format H:MM with am or pm, or 24 hour clock");
    }
  }
}

TEST_F(ConfigurationWindow, APollingCycleThatIsNotAWholeNumberIsRefusedAndTheWindowStays) {
  db.Config().Execute("update tblConfiguration set POPCycleMinutes=15");
  Open();
  Text("txtSMTPServer")->setText("changed.example.com");
  Text("txtPOPCycleMinutes")->setText("abc");
  Click("cmdSave");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "Error: The POP account monitoring cycle (minutes) must be a whole number of 1 or more, not \"abc\"");
  EXPECT_EQ(Boxes()[0].icon, MessageIcon::Critical);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(Row().Field("SMTPServer").AsText(), "") << "nothing is stored";
  EXPECT_EQ(Row().Field("POPCycleMinutes"), Value(15));

  // Emptied, the cycle is stored as Null (the run timer then takes its default).
  Text("txtPOPCycleMinutes")->clear();
  Click("cmdSave");
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(Row().Field("POPCycleMinutes").IsNull());
  EXPECT_EQ(Row().Field("SMTPServer").AsText(), "changed.example.com");
}

TEST_F(ConfigurationWindow, TheSessionCountIsCheckedBeforeAnythingIsStored) {
  db.Config().Execute("update tblConfiguration set SMTPSessions=NULL");
  Open();
  EXPECT_EQ(Text("txtSMTPSessions")->text().toStdString(), "") << "Null: one at a time";
  Text("txtSMTPServer")->setText("changed.example.com");
  for (const char* typed : {"0", "65", "several"}) {
    MessageBoxes::ClearShown();
    Text("txtSMTPSessions")->setText(typed);
    Click("cmdSave");
    ASSERT_EQ(Boxes().size(), 1u) << typed;
    EXPECT_EQ(Boxes()[0].text, std::string("Error: The number of SMTP sessions at once must be a whole number from 1 to "
                                           "64, not \"") + typed + "\"");
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(Row().Field("SMTPServer").AsText(), "") << "nothing is stored";
    EXPECT_TRUE(Row().Field("SMTPSessions").IsNull());
  }
  Text("txtSMTPSessions")->setText("16");
  Click("cmdSave");
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(Row().Field("SMTPSessions"), Value(16));
  EXPECT_EQ(Row().Field("SMTPServer").AsText(), "changed.example.com");
  Open();
  EXPECT_EQ(Text("txtSMTPSessions")->text().toStdString(), "16");
}

TEST_F(ConfigurationWindow, TheTestButtonRunsTheSmtpTestWithTheValuesAsTyped) {
  Script s;
  s.Send("220 fake.test\r\n").Exchange("HELO typed.example.com\r\n", "250 fake.test\r\n").ExpectClosed();
  FakeServer server({s});
  Open();
  Text("txtSMTPServer")->setText(QString::fromStdString(server.Address()));
  Text("txtHELOName")->setText("typed.example.com");
  std::vector<std::string> lines;
  test::WhenModal<frmTestSMTPServer>([&](frmTestSMTPServer* dialog) {
    if (!dialog) return;
    EXPECT_EQ(dialog->parentWidget(), window.get());
    EXPECT_TRUE(WaitUntilFinished(dialog));
    lines = Lines(dialog);
  });
  Click("cmdTestSMTPServer");  // returns when the modal test has closed
  EXPECT_THAT(lines, ElementsAre("Connecting to: " + server.Address(), "Received: 220 fake.test",
                                 "***No authentication specified", "Sending: HELO typed.example.com",
                                 "Received: 250 fake.test", "Connection was successful"));
  EXPECT_TRUE(server.Finish().empty());
  EXPECT_EQ(Row().Field("SMTPServer").AsText(), "") << "the test stores nothing";
}

// The main window's side: its Settings entry and the opener of the mailbox test.
class ConfigurationFromTheMainWindow : public ConfigurationWindow {
 protected:
  void SetUp() override {
    ConfigurationWindow::SetUp();
    program = std::make_unique<ControlProgram>("", messages, log, starter);
    ASSERT_TRUE(program->StartUp());
    main = std::make_unique<frmMain>(*program);
    main->show();
  }
  void TearDown() override {
    main.reset();
    program.reset();
    ConfigurationWindow::TearDown();
  }
  QtOperatorMessages messages;
  std::unique_ptr<ControlProgram> program;
  std::unique_ptr<frmMain> main;
};

TEST_F(ConfigurationFromTheMainWindow, TheMenuEntryOpensOneConfigurationWindowInTheFrame) {
  QAction* entry = main->findChild<QAction*>("menuConfiguration");
  ASSERT_NE(entry, nullptr);
  entry->trigger();
  entry->trigger();  // brings the open one forward
  // One configuration window beside the autoresponder list, which the frame always shows.
  std::vector<QMdiSubWindow*> frames;
  for (QMdiSubWindow* frame : main->Area()->subWindowList())
    if (qobject_cast<frmConfiguration*>(frame->widget())) frames.push_back(frame);
  ASSERT_EQ(frames.size(), 1u);
  auto* configuration = qobject_cast<frmConfiguration*>(frames[0]->widget());
  EXPECT_EQ(main->Area()->activeSubWindow(), frames[0]);

  QPointer<QMdiSubWindow> frame = frames[0];
  QTest::mouseClick(configuration->findChild<QPushButton*>("cmdSave"), Qt::LeftButton);
  EXPECT_TRUE(QTest::qWaitFor([&] { return frame.isNull(); }, kGenerousMs)) << "saving closes the frame too";
  EXPECT_EQ(main->Area()->subWindowList().size(), 1) << "the list stays";
}

TEST_F(ConfigurationFromTheMainWindow, TheMailboxTestOpenerShowsTheTestWithTheEditorsSettings) {
  ASSERT_TRUE(Openers().mailboxTest);
  Script s;
  s.Send("+OK ready\r\n")
      .Exchange("USER list\r\n", "+OK\r\n")
      .Exchange("PASS typed secret\r\n", "+OK Logged in.\r\n")
      .ExpectClosed();
  FakeServer server({s});
  std::vector<std::string> lines;
  test::WhenModal<frmTestPOPServer>([&](frmTestPOPServer* dialog) {
    if (!dialog) return;
    EXPECT_EQ(dialog->parentWidget(), main.get());
    EXPECT_TRUE(WaitUntilFinished(dialog));
    lines = Lines(dialog);
  });
  Openers().mailboxTest(main.get(), {"POP3", server.Address(), "list", "typed secret", false});
  EXPECT_THAT(lines, ElementsAre("Connecting to: " + server.Address(), "Received: +OK ready", "Sending: USER list",
                                 "Received: +OK", "Sending: PASS *****", "Received: +OK Logged in.",
                                 "The connection was successful"));
  EXPECT_TRUE(server.Finish().empty());
}

}  // namespace
}  // namespace ar
