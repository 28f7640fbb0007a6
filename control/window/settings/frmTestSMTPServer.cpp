#include "control/window/settings/frmTestSMTPServer.h"

#include "base/Trace.h"
#include "control/servers/SmtpServerCheck.h"
#include "mail/PosixSocket.h"

namespace ar {

frmTestSMTPServer::frmTestSMTPServer(SmtpSettings settings, QWidget* parent)
    : ServerTestDialog("frmTestSMTPServer", "Test SMTP Server", parent), settings_(std::move(settings)) {}

void frmTestSMTPServer::FirstShown() {
  auto socket = std::make_shared<PosixSocket>();
  auto test = std::make_shared<SmtpServerCheck>(*socket, ServerTestTrace(DebugSwitch()));
  Start({[socket, test, settings = settings_](const ListLine& list, std::stop_token stop) {
           test->Run(settings, list, stop);
         },
         {}});
}

}  // namespace ar
