#include "control/window/settings/frmTestPOPServer.h"

#include "base/Trace.h"
#include "mail/PosixSocket.h"
#include "widgets/Pause.h"

#include <QPointer>

namespace ar {

frmTestPOPServer::frmTestPOPServer(MailboxServerSettings settings, QWidget* parent)
    : ServerTestDialog("frmTestPOPServer", "Test Mail Server", parent), settings_(std::move(settings)) {}

void frmTestPOPServer::FirstShown() {
  const QPointer<frmTestPOPServer> self(this);
  Pause::For(kStartDelayMs);
  if (!self || !isVisible()) return;  // closed meanwhile
  auto socket = std::make_shared<PosixSocket>();
  auto test = std::make_shared<MailboxServerCheck>(*socket, ServerTestTrace(DebugSwitch()));
  Start({[socket, test, settings = settings_](const ListLine& list, std::stop_token stop) {
           test->Run(settings, list, stop);
         },
         [socket, test] { test->Logout(); }});
}

}  // namespace ar
