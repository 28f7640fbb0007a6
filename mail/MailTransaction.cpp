#include "mail/MailTransaction.h"

namespace ar {
namespace {

using Step = MailTransactionResult::Step;
using Ending = MailTransactionResult::Ending;

bool GoesOn(const SmtpReply& reply, Step step, MailGoAhead goAhead) {
  if (goAhead == MailGoAhead::AnyPositive) return reply.kind == SmtpReply::Kind::Positive;
  return step == Step::Data ? reply.replyClass == '3' : reply.Completed();
}

MailTransactionResult Ended(Ending ending, Step step, const SmtpReply& reply) { return {ending, step, reply}; }

}  // namespace

MailTransactionResult RunMailTransaction(SmtpSession& session, Socket& socket, const std::string& sender,
                                         const std::string& recipient, MailGoAhead goAhead,
                                         const ComposeMailText& compose) {
  const std::pair<Step, std::string> commands[] = {{Step::Sender, "MAIL FROM: <" + sender + ">\r\n"},
                                                   {Step::Recipient, "RCPT TO: <" + recipient + ">\r\n"},
                                                   {Step::Data, "DATA\r\n"}};
  for (const auto& [step, command] : commands) {
    if (session.SMTPSend(command)) return Ended(Ending::SendFailed, step, session.LastReply());
    session.SMTPReceive();
    if (!GoesOn(session.LastReply(), step, goAhead)) return Ended(Ending::Stopped, step, session.LastReply());
  }
  std::optional<MailText> text = compose();
  if (!text) {
    // Ending DATA now would deliver an incomplete message.
    socket.Abort();
    return Ended(Ending::NotComposed, Step::Message, session.LastReply());
  }
  // Until the final "." has gone, a stop abandons the message: the server discards it.
  if (session.SMTPSend(text->bytes, text->attachmentPath))
    return Ended(Ending::SendFailed, Step::Message, session.LastReply());
  {
    // From here the server may have delivered it, and only its reply tells: a stop
    // waits for the reply rather than leave the message to be sent again.
    StopShield shield(socket);
    session.SMTPReceive();
  }
  const SmtpReply& reply = session.LastReply();
  return Ended(reply.Completed() ? Ending::Accepted : Ending::Stopped, Step::Message, reply);
}

}  // namespace ar
