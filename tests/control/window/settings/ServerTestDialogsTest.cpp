// The two server test dialogs on the offscreen platform against scripted servers on
// loopback: lines arrive while the dialog stays responsive, the button and the wait cursor
// follow the test, and closing the dialog abandons a test still waiting for its server.
#include "control/window/settings/frmTestPOPServer.h"
#include "control/window/settings/frmTestSMTPServer.h"
#include "mail/Base64.h"
#include "tests/control/window/WindowTest.h"
#include "tests/support/FakeServer.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gmock/gmock.h>

namespace ar {
namespace {

using namespace std::chrono_literals;
using test::FakeServer;
using test::Script;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr int kGenerousMs = 10000;

class ServerTestDialogs : public test::WindowTest {
 protected:
  void SetUp() override {
    test::OffscreenApplication();
    WindowTest::SetUp();
  }
  void TearDown() override {
    EXPECT_TRUE(ServerCheckRunner::WaitForAbandoned(10s)) << "a test thread was left running";
    WindowTest::TearDown();
  }
  static std::vector<std::string> Lines(QWidget* dialog) {
    std::vector<std::string> lines;
    auto* list = dialog->findChild<QListWidget*>("lbList");
    for (int i = 0; list && i < list->count(); ++i) lines.push_back(list->item(i)->text().toStdString());
    return lines;
  }
  static QPushButton* Continue(QWidget* dialog) { return dialog->findChild<QPushButton*>("cmdContinue"); }
  static bool WaitUntilFinished(QWidget* dialog) {
    return QTest::qWaitFor([&] { return Continue(dialog)->isEnabled(); }, kGenerousMs);
  }
};

TEST_F(ServerTestDialogs, SmtpTestListsTheDialogueAndTracesNoCredentialsEvenInDebugMode) {
  SetTraceFile(db.Folder() + "/debug/trace.log");
  SetDebugSwitch(true);
  Script s;
  s.Send("220 fake.test ESMTP\r\n")
      .Exchange("EHLO client.test\r\n", "250-fake.test\r\n250 AUTH LOGIN\r\n")
      .Exchange("AUTH LOGIN\r\n", "334 VXNlcm5hbWU6\r\n")
      .Exchange(Base64_encode("ann@mail.test") + "\r\n", "334 UGFzc3dvcmQ6\r\n")
      .Exchange(Base64_encode("pa55word!") + "\r\n", "235 2.7.0 Authentication successful\r\n")
      .ExpectClosed();
  FakeServer server({s});
  frmTestSMTPServer dialog({server.Address(), "ann@mail.test", "pa55word!", false, "client.test"});
  EXPECT_FALSE(Continue(&dialog)->isEnabled());
  dialog.show();

  ASSERT_TRUE(WaitUntilFinished(&dialog)) << ::testing::PrintToString(Lines(&dialog));
  EXPECT_THAT(Lines(&dialog),
              ElementsAreArray({"Connecting to: " + server.Address(), std::string("Received: 220 fake.test ESMTP"),
                                std::string("***Using SMTP authentication"), std::string("Sending: EHLO client.test"),
                                std::string("Received: 250-fake.test"), std::string("Received: 250 AUTH LOGIN"),
                                std::string("Received: 334 VXNlcm5hbWU6"), std::string("Received: 334 UGFzc3dvcmQ6"),
                                std::string("Received: 235 2.7.0 Authentication successful"),
                                std::string("Connection was successful")}));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(dialog.windowTitle().toStdString(), "Test SMTP Server");
  EXPECT_EQ(Continue(&dialog)->text().toStdString(), "&OK");  // Alt+O
  QTest::mouseClick(Continue(&dialog), Qt::LeftButton);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_THAT(server.Finish(), IsEmpty());

  const std::string trace = test::ReadWholeFile(db.Folder() + "/debug/trace.log");
  EXPECT_THAT(trace, HasSubstr("SENDING: EHLO client.test"));
  for (const std::string& secret : {Base64_encode("ann@mail.test"), Base64_encode("pa55word!"), std::string("pa55")})
    EXPECT_THAT(trace, Not(HasSubstr(secret)));
}

TEST_F(ServerTestDialogs, ClosingWhileTheServerNeverAnswersAbandonsTheTestAtOnce) {
  for (const bool smtp : {true, false}) {
    SCOPED_TRACE(smtp ? "SMTP" : "POP3");
    Script silent;
    silent.ExpectClosed();  // accepts the connection and never says a word
    FakeServer server({silent});
    QDialog* dialog = smtp ? static_cast<QDialog*>(new frmTestSMTPServer({server.Address(), "", "", false, ""}))
                           : new frmTestPOPServer({"POP3", server.Address(), "ann", "secret", false});
    dialog->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Lines(dialog).empty(); }, kGenerousMs));
    EXPECT_THAT(Lines(dialog), ElementsAre("Connecting to: " + server.Address()));
    EXPECT_FALSE(Continue(dialog)->isEnabled());
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);

    dialog->close();  // the window's close box; returns without waiting for the server
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    delete dialog;
    QCoreApplication::processEvents();  // nothing queued for the dialog may reach it now

    // The stop wakes the read that waits for the greeting: the thread ends well before the
    // socket's time-out of 10 seconds, with the server still silent.
    EXPECT_TRUE(ServerCheckRunner::WaitForAbandoned(5s));
    server.Finish();
    EXPECT_EQ(server.Received()[0], "") << "nothing is sent once the test is abandoned";
  }
}

TEST_F(ServerTestDialogs, MailboxTestStartsASecondAfterOpeningAndLogsOutWhenClosed) {
  Script s;
  s.Send("* OK [CAPABILITY IMAP4rev1] Dovecot ready.\r\n")
      .Exchange("01 LOGIN ann secret\r\n", "01 OK [CAPABILITY IMAP4rev1 IDLE] Logged in\r\n")
      .Exchange("01 LOGOUT\r\n", "* BYE Logging out\r\n01 OK Logout completed.\r\n")
      .ExpectClosed();
  FakeServer server({s});
  frmTestPOPServer dialog({"IMAP4", server.Address(), "ann", "secret", false});
  EXPECT_FALSE(Continue(&dialog)->isEnabled());
  dialog.show();
  ASSERT_TRUE(WaitUntilFinished(&dialog));
  EXPECT_THAT(Pause::Recorded(), Contains(1000));
  EXPECT_THAT(Lines(&dialog), ElementsAre("Sending login information", "Successfully logged in"));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  QTest::keyClick(&dialog, Qt::Key_O, Qt::AltModifier);  // closes the dialog, which logs out
  EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.isVisible(); }, kGenerousMs));  // after the press shows
  EXPECT_TRUE(ServerCheckRunner::WaitForAbandoned(10s));
  EXPECT_THAT(server.Finish(), IsEmpty());
}

}  // namespace
}  // namespace ar
