#include "processor/EventMessage.h"

#include "mail/MimeComposer.h"
#include "processor/Addresses.h"
#include "processor/BodyFile.h"
#include "store/Text.h"
#include "store/Trace.h"

#include <algorithm>

namespace ar {
namespace {

std::string Text(const RowSet& row, const char* column) { return NullToDefault(row.Field(column), ""); }

}  // namespace

std::string EventMessage::BodyFromFile(const std::string& path, const std::string& fallback) {
  if (path.empty()) return fallback;
  std::optional<std::string> text = bodies_.Read(path);
  return text ? std::move(*text) : fallback;
}

std::string RecipientAddress(const std::string& stored) {
  std::string address = TrimBlanks(stored);
  std::replace(address.begin(), address.end(), ',', '.');
  return EmailAddressOnly(address);
}

std::string SenderAddress(const std::string& fromAddress) {
  // Blanks around the typed text or inside the angle brackets would break MAIL FROM.
  return TrimBlanks(EmailAddressOnly(TrimBlanks(fromAddress)));
}

std::string SenderDomain(const std::string& fromAddress) {
  const std::string bare = SenderAddress(fromAddress);
  const size_t at = bare.find('@');
  if (at == std::string::npos) return bare;
  return TrimBlanks(bare.substr(at + 1, 200));
}

MessageOutcome EventMessage::SendEventMessage(const std::string& address, const RowSet& event,
                                              const SmtpSettings& settings) {
  Socket& socket = *ctx_.socket;
  authRefused_ = false;
  composeFailed_ = false;
  abandoned_ = false;
  reason_.clear();
  try {
    const bool useFiles = NullToDefault(event.Field("UseFilesForMessageBodies"), false);
    const std::string htmlFile = useFiles ? Text(event, "HTMLMessageFile")
                                          : ctx_.dataFolder + "/content/" +
                                                std::to_string(event.Field("AutoresponderEventID").AsInteger()) + ".html";
    MailMessageContent message;
    message.body = BodyFromFile(htmlFile, "");
    message.plainTextBody =
        useFiles ? BodyFromFile(Text(event, "PlainTextMessageFile"), "Plain text message") : Text(event, "PlainTextMessage");
    message.plainTextOnly = NullToDefault(event.Field("PlainTextOnly"), false);
    message.replyTo = Text(event, "ReplyToAddress");
    message.from = Text(event, "FromAddress");
    message.to = address;
    message.subject = Text(event, "Subject");
    message.attached = TrimBlanks(Text(event, "AttachmentFilename"));
    message.emailDomain = SenderDomain(message.from);
    message.fromName = Text(event, "FromName");
    const std::string recipient = RecipientAddress(address);

    SmtpSession smtp(socket, TracePop);
    smtp.SetTimeouts(connectMs_, replyMs_);
    bool authFailed = false;
    if (smtp.SMTPConnect(settings, authFailed)) {
      if (Stopping()) return MessageOutcome::Deferred;
      authRefused_ = authFailed;
      if (authFailed) {
        ctx_.LogStatus("Error: SMTP Authenication failed");
        ctx_.SetLastAutoresponderStatus(kStatusAuthenticationFailed);
      } else {
        ctx_.LogStatus("Error: STMP connection failed");
        ctx_.SetLastAutoresponderStatus(kStatusConnectionFailed);
      }
      ctx_.SetSMTPProblemStatus(true);
      return MessageOutcome::ServerFailed;
    }
    const MessageOutcome outcome = Transaction(smtp, message, recipient);
    smtp.SMTPQuit();
    Report(outcome, recipient);
    return outcome;
  } catch (const std::exception& e) {
    ctx_.LogStatus(std::string("Error: ") + e.what());
    socket.Abort();
    return MessageOutcome::Deferred;
  }
}

MessageOutcome EventMessage::Transaction(SmtpSession& smtp, MailMessageContent& message, const std::string& recipient) {
  const std::string commands[] = {"MAIL FROM: <" + SenderAddress(message.from) + ">\r\n",
                                  "RCPT TO: <" + recipient + ">\r\n", "DATA\r\n"};
  for (const std::string& command : commands) {
    if (smtp.SMTPSend(command)) return Interrupted("the connection broke while sending");
    if (smtp.SMTPReceive()) return Refusal(smtp.LastReply());
  }
  ComposerEnvironment environment;
  environment.biasMinutes = ctx_.utcBiasMinutes;
  environment.logStatus = [this](const std::string& line) { ctx_.LogStatus(line); };
  const std::string text = CreateMailMessage(message, environment);
  if (text.empty()) {
    // Ending DATA now would deliver an empty message: drop the connection instead, so
    // that the server discards it, and leave the subscriber due.
    ctx_.socket->Abort();
    composeFailed_ = true;
    return MessageOutcome::Deferred;
  }
  // Until the final "." has gone, a stop abandons the message: the server discards it.
  if (smtp.SMTPSend(text + "\r\n.\r\n", message.attached)) return Interrupted("the connection broke while sending");
  bool refused = false;
  {
    // From here the server may have delivered it, and only its reply tells: a stop
    // waits for the reply rather than leave the message to be sent again.
    StopShield shield(*ctx_.socket);
    refused = smtp.SMTPReceive();
  }
  if (refused || !smtp.LastReply().Completed()) return Refusal(smtp.LastReply());
  return MessageOutcome::Sent;
}

MessageOutcome EventMessage::Refusal(const SmtpReply& reply) {
  reason_ = reply.text;
  switch (reply.kind) {
    case SmtpReply::Kind::Permanent: return MessageOutcome::Refused;
    case SmtpReply::Kind::Transient:
      return reply.ServiceClosing() ? MessageOutcome::ServerFailed : MessageOutcome::Deferred;
    case SmtpReply::Kind::Missing: return Interrupted(reply.text);
    case SmtpReply::Kind::Garbled:
    case SmtpReply::Kind::Positive: break;  // a positive reply where a final one belongs
  }
  return MessageOutcome::ServerFailed;
}

MessageOutcome EventMessage::Interrupted(const std::string& reason) {
  reason_ = reason;
  abandoned_ = Stopping();
  return abandoned_ ? MessageOutcome::Deferred : MessageOutcome::ServerFailed;
}

void EventMessage::Report(MessageOutcome outcome, const std::string& recipient) {
  switch (outcome) {
    case MessageOutcome::Sent:
    case MessageOutcome::Refused: return;  // the scheduler records both as sent
    case MessageOutcome::Deferred:
      if (composeFailed_) {
        ctx_.SetLastAutoresponderStatus(kStatusNotComposed);
      } else if (abandoned_) {
        ctx_.LogStatus("Stopped before the message to " + recipient + " was sent");
      } else {
        ctx_.LogStatus("Error: SMTP server deferred the message to " + recipient + ": " + reason_);
        ctx_.SetLastAutoresponderStatus(kStatusDeferred);
      }
      return;
    case MessageOutcome::ServerFailed:
      ctx_.LogStatus("Error: SMTP connection lost sending to " + recipient + ": " + reason_);
      ctx_.SetLastAutoresponderStatus(kStatusConnectionLost);
      ctx_.SetSMTPProblemStatus(true);
      return;
  }
}

}  // namespace ar
