#pragma once
// The mailbox server test, opened from the autoresponder editor: logs in to the POP3 or
// IMAP4 server with the values as typed there and lists the dialogue. An IMAP4 login is
// kept until the dialog closes, which logs out.
#include "control/servers/MailboxServerCheck.h"
#include "control/window/settings/ServerTestDialog.h"

namespace ar {

class frmTestPOPServer : public ServerTestDialog {
  Q_OBJECT
 public:
  static constexpr int kStartDelayMs = 1000;

  explicit frmTestPOPServer(MailboxServerSettings settings, QWidget* parent = nullptr);

 protected:
  void FirstShown() override;

 private:
  MailboxServerSettings settings_;
};

}  // namespace ar
