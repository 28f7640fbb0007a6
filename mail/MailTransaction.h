#pragma once
// One mail transaction over a connected SmtpSession: MAIL FROM, RCPT TO, DATA and the
// message, up to the server's reply to its final ".". The transaction says where it
// stopped and on which reply; what that means for the message is the caller's to judge.
#include "mail/SmtpReply.h"
#include "mail/SmtpSession.h"
#include "mail/Socket.h"

#include <functional>
#include <optional>
#include <string>

namespace ar {

// The message as it goes out after the go-ahead to DATA.
struct MailText {
  std::string bytes;           // the whole text, its final "." line included
  std::string attachmentPath;  // the attachment that replaces the marker (SmtpSession::SMTPSend)
};

// Made only once DATA was accepted, so that the Date line is the moment of sending.
// Nothing: the message cannot be made.
using ComposeMailText = std::function<std::optional<MailText>()>;

// Which replies let a command go on.
enum class MailGoAhead {
  AnyPositive,  // any positive reply (1xx, 2xx, 3xx)
  Expected,     // only the class each command wants: 2xx, and 3xx to DATA
};

struct MailTransactionResult {
  enum class Step { Sender, Recipient, Data, Message };
  enum class Ending {
    Accepted,     // the server took the message (2xx to its end)
    Stopped,      // the reply at step did not let the transaction go on
    SendFailed,   // the connection broke while the step's command or the message was sent
    NotComposed,  // the message could not be made; the connection was dropped
  };
  Ending ending = Ending::Accepted;
  Step step = Step::Sender;
  SmtpReply reply;  // the last reply read; the one that stopped it when Stopped
};

// Runs the transaction on the socket of session. The reply to the message is awaited
// through a stop request: from the final "." on, only the reply tells whether the
// server delivered it. A message that cannot be composed drops the connection, so that
// the server discards what DATA began.
MailTransactionResult RunMailTransaction(SmtpSession& session, Socket& socket, const std::string& sender,
                                         const std::string& recipient, MailGoAhead goAhead,
                                         const ComposeMailText& compose);

}  // namespace ar
