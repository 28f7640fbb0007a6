#include "control/window/frmTestSMTPServer.h"

#include "control/SmtpServerTest.h"
#include "mail/SocketPosix.h"
#include "store/Trace.h"

namespace ar {

frmTestSMTPServer::frmTestSMTPServer(SmtpSettings settings, QWidget* parent)
    : ServerTestDialog("frmTestSMTPServer", "Test SMTP Server", parent), settings_(std::move(settings)) {}

void frmTestSMTPServer::FirstShown() {
  auto socket = std::make_shared<PosixSocket>();
  auto test = std::make_shared<SmtpServerTest>(*socket, ServerTestTrace(DebugSwitch()));
  Start({[socket, test, settings = settings_](const ListLine& list, std::stop_token stop) {
           test->Run(settings, list, stop);
         },
         {}});
}

}  // namespace ar
