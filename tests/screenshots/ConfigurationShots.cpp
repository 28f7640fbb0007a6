// The configuration window in the main frame, and the two server tests after a finished
// run against a scripted server on loopback.
#include "control/window/main/frmMain.h"
#include "control/window/settings/frmTestPOPServer.h"
#include "control/window/settings/frmTestSMTPServer.h"
#include "mail/Base64.h"
#include "tests/screenshots/Shots.h"
#include "tests/support/FakeServer.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>

namespace ar::shots {
namespace {

// Shows the test dialog and waits until its run has finished with the server.
QWidget* AfterTheRun(QDialog* dialog, test::FakeServer& server) {
  dialog->show();
  QElapsedTimer timer;
  timer.start();
  auto* button = dialog->findChild<QPushButton*>("cmdContinue");
  while (!button->isEnabled() && timer.elapsed() < 15000) QApplication::processEvents(QEventLoop::AllEvents, 20);
  server.Finish();
  return dialog;
}

}  // namespace

AR_SHOT(40, "frmConfiguration", [](ShotContext& c) -> QWidget* {
  c.main.findChild<QAction*>("menuConfiguration")->trigger();
  return c.main.Area()->activeSubWindow();
});

AR_SHOT(41, "frmTestSMTPServer", [](ShotContext&) -> QWidget* {
  test::Script s;
  s.Send("220 mail.example.com ESMTP ready\r\n")
      .Exchange("EHLO mail.example.com\r\n",
                "250-mail.example.com\r\n250-PIPELINING\r\n250-SIZE 10240000\r\n250-AUTH PLAIN LOGIN\r\n"
                "250 8BITMIME\r\n")
      .Exchange("AUTH LOGIN\r\n", "334 VXNlcm5hbWU6\r\n")
      .Exchange(Base64_encode("news@example.com") + "\r\n", "334 UGFzc3dvcmQ6\r\n")
      .Exchange(Base64_encode("secret") + "\r\n", "235 2.7.0 Authentication successful\r\n")
      .ExpectClosed();
  test::FakeServer server({s});
  return AfterTheRun(
      new frmTestSMTPServer({server.Address(), "news@example.com", "secret", false, "mail.example.com"}), server);
});

AR_SHOT(42, "frmTestPOPServer", [](ShotContext&) -> QWidget* {
  test::Script s;
  s.Send("+OK Dovecot ready.\r\n")
      .Exchange("USER course@example.com\r\n", "+OK\r\n")
      .Exchange("PASS secret\r\n", "+OK Logged in.\r\n")
      .ExpectClosed();
  test::FakeServer server({s});
  return AfterTheRun(new frmTestPOPServer({"POP3", server.Address(), "course@example.com", "secret", false}), server);
});

}  // namespace ar::shots
