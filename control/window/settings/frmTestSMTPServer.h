#pragma once
// The SMTP server test, opened from the configuration window: connects to the outgoing
// mail server with the values as typed there and lists the dialogue.
#include "control/window/settings/ServerTestDialog.h"
#include "mail/SmtpSession.h"

namespace ar {

class frmTestSMTPServer : public ServerTestDialog {
  Q_OBJECT
 public:
  explicit frmTestSMTPServer(SmtpSettings settings, QWidget* parent = nullptr);

 protected:
  void FirstShown() override;

 private:
  SmtpSettings settings_;
};

}  // namespace ar
