#include "processor/EventMessage.h"

#include "base/Text.h"
#include "base/Trace.h"
#include "mail/Addresses.h"
#include "mail/BodyFile.h"
#include "mail/MailTransaction.h"
#include "mail/MimeComposer.h"
#include "mail/SmtpReply.h"

#include <algorithm>

namespace ar {
namespace {

std::string Text(const RowSet& row, const char* column) { return NullToDefault(row.Field(column), ""); }

bool SameBodies(const EventContent& a, const EventContent& b) {
  return a.error == b.error && a.message.body == b.message.body && a.message.plainTextBody == b.message.plainTextBody;
}

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

std::shared_ptr<const EventContent> EventMessage::Content(const RowSet& event,
                                                          std::shared_ptr<const EventContent> last) {
  auto next = std::make_shared<EventContent>();
  try {
    const bool useFiles = NullToDefault(event.Field("UseFilesForMessageBodies"), false);
    const std::string htmlFile = useFiles ? Text(event, "HTMLMessageFile")
                                          : ctx_.dataFolder + "/content/" +
                                                std::to_string(event.Field("AutoresponderEventID").AsInteger()) + ".html";
    MailMessageContent& message = next->message;
    message.body = BodyFromFile(htmlFile, "");
    message.plainTextBody =
        useFiles ? BodyFromFile(Text(event, "PlainTextMessageFile"), "Plain text message") : Text(event, "PlainTextMessage");
    message.plainTextOnly = NullToDefault(event.Field("PlainTextOnly"), false);
    message.replyTo = Text(event, "ReplyToAddress");
    message.from = Text(event, "FromAddress");
    message.subject = Text(event, "Subject");
    message.attached = TrimBlanks(Text(event, "AttachmentFilename"));
    message.emailDomain = SenderDomain(message.from);
    message.fromName = Text(event, "FromName");
  } catch (const std::exception& e) {
    // Every message of the event reports it, and none is sent, until the file is mended.
    next->message = MailMessageContent{};
    next->error = e.what();
  }
  if (last && SameBodies(*last, *next)) return last;
  return next;
}

MessageResult EventMessage::Send(const EventContent& content, const std::string& address, const SmtpSettings& settings,
                                 Socket& socket, const TraceFunction& trace) const {
  MessageResult result;
  try {
    if (!content.error.empty()) throw std::runtime_error(content.error);
    MailMessageContent message = content.message;  // the composer changes its input
    message.to = address;
    result.recipient = RecipientAddress(address);

    SmtpSession smtp(socket, trace);
    smtp.SetTimeouts(connectMs_, replyMs_);
    bool authFailed = false;
    if (smtp.SMTPConnect(settings, authFailed)) {
      const bool stopped = Stopping();
      result.outcome = stopped ? MessageOutcome::Deferred : MessageOutcome::ServerFailed;
      result.failure = stopped      ? MessageResult::Failure::StoppedEarly
                       : authFailed ? MessageResult::Failure::Authentication
                                    : MessageResult::Failure::Connection;
      result.connectionRefused = result.failure == MessageResult::Failure::Connection;
      result.reason = smtp.LastReply().text;
      return result;
    }
    Transaction(smtp, socket, message, result);
    smtp.SMTPQuit();
  } catch (const std::exception& e) {
    result.outcome = MessageOutcome::Deferred;
    result.failure = MessageResult::Failure::Unexpected;
    result.reason = e.what();
    socket.Abort();
  }
  return result;
}

void EventMessage::Transaction(SmtpSession& smtp, Socket& socket, MailMessageContent& message,
                               MessageResult& result) const {
  const ComposeMailText compose = [&]() -> std::optional<MailText> {
    // The Date line takes the offset of the moment the message is composed, so a run
    // across a change of daylight saving time dates each message right.
    ComposerEnvironment environment;
    environment.logStatus = [&result](const std::string& line) { result.statusLines.push_back(line); };
    std::string text = CreateMailMessage(message, environment);
    // An empty text would end DATA with an empty message: the connection is dropped
    // instead, so that the server discards it.
    if (text.empty()) return std::nullopt;
    return MailText{std::move(text) + "\r\n.\r\n", message.attached};
  };
  const MailTransactionResult done = RunMailTransaction(smtp, socket, SenderAddress(message.from), result.recipient,
                                                        MailGoAhead::AnyPositive, compose);
  switch (done.ending) {
    case MailTransactionResult::Ending::Accepted: result.outcome = MessageOutcome::Sent; return;
    case MailTransactionResult::Ending::Stopped: return Refusal(done.reply, done.step, result);
    case MailTransactionResult::Ending::SendFailed: return Interrupted("the connection broke while sending", result);
    case MailTransactionResult::Ending::NotComposed:
      // The subscriber stays due.
      result.outcome = MessageOutcome::Deferred;
      result.failure = MessageResult::Failure::NotComposed;
      return;
  }
}

void EventMessage::Refusal(const SmtpReply& reply, Step step, MessageResult& result) const {
  result.reason = reply.text;
  switch (reply.kind) {
    case SmtpReply::Kind::Permanent:
      if (step == Step::Recipient && !RefusesSession(reply)) {
        result.outcome = MessageOutcome::Refused;
      } else if (step == Step::Message && RefusesRecipientOfMessage(reply, result.recipient)) {
        result.outcome = MessageOutcome::Refused;
      } else {
        // It would meet every subscriber alike: a failure of the server, and nobody marked.
        result.outcome = MessageOutcome::ServerFailed;
        result.failure = step == Step::Sender || step == Step::Recipient ? MessageResult::Failure::SessionRefused
                                                                          : MessageResult::Failure::MessageRefused;
      }
      return;
    case SmtpReply::Kind::Transient:
      result.outcome = reply.ServiceClosing() ? MessageOutcome::ServerFailed : MessageOutcome::Deferred;
      result.connectionRefused = reply.ServiceClosing() && step == Step::Sender;
      return;
    case SmtpReply::Kind::Missing: return Interrupted(reply.text, result);
    case SmtpReply::Kind::Garbled:
    case SmtpReply::Kind::Positive: break;  // a positive reply where a final one belongs
  }
  result.outcome = MessageOutcome::ServerFailed;
}

void EventMessage::Interrupted(const std::string& reason, MessageResult& result) const {
  result.reason = reason;
  if (Stopping()) {
    result.outcome = MessageOutcome::Deferred;
    result.failure = MessageResult::Failure::Abandoned;
  } else {
    result.outcome = MessageOutcome::ServerFailed;
  }
}

void EventMessage::Report(const MessageResult& result) const {
  for (const std::string& line : result.statusLines) ctx_.LogStatus(line);
  using Failure = MessageResult::Failure;
  switch (result.failure) {
    case Failure::None: break;
    case Failure::Connection:
    case Failure::Authentication:
      if (result.failure == Failure::Authentication) {
        ctx_.LogStatus("Error: SMTP Authenication failed");
        ctx_.SetLastAutoresponderStatus(kStatusAuthenticationFailed);
      } else {
        ctx_.LogStatus("Error: STMP connection failed");
        ctx_.SetLastAutoresponderStatus(kStatusConnectionFailed);
      }
      ctx_.SetSMTPProblemStatus(true);
      return;
    case Failure::StoppedEarly: return;
    case Failure::SessionRefused:
    case Failure::MessageRefused: {
      const bool session = result.failure == Failure::SessionRefused;
      ctx_.LogStatus(std::string(session ? "Error: SMTP server refused the sender or the session, sending to "
                                         : "Error: SMTP server refused the message to ") +
                     result.recipient + ": " + PrintableText(result.reason));
      TracePop(std::string("frmProcess/SendEventMessage: the SMTP server refused ") +
                   (session ? "the sender or the session" : "the message") + " (to " + PrintableText(result.recipient) +
                   "): " + PrintableText(result.reason),
               true);
      ctx_.SetLastAutoresponderStatus(session ? kStatusSessionRefused : kStatusMessageRefused);
      ctx_.SetSMTPProblemStatus(true);
      return;
    }
    case Failure::NotComposed: ctx_.SetLastAutoresponderStatus(kStatusNotComposed); return;
    case Failure::Abandoned: ctx_.LogStatus("Stopped before the message to " + result.recipient + " was sent"); return;
    case Failure::Unexpected: ctx_.LogStatus("Error: " + result.reason); return;
  }
  switch (result.outcome) {
    case MessageOutcome::Sent:
    case MessageOutcome::Refused: return;  // the scheduler records both as sent
    case MessageOutcome::Deferred:
      ctx_.LogStatus("Error: SMTP server deferred the message to " + result.recipient + ": " + result.reason);
      ctx_.SetLastAutoresponderStatus(kStatusDeferred);
      // Not sent: the sending status says so, or a deferral at every run would look good.
      ctx_.SetSMTPProblemStatus(true);
      return;
    case MessageOutcome::ServerFailed:
      ctx_.LogStatus("Error: SMTP connection lost sending to " + result.recipient + ": " + result.reason);
      ctx_.SetLastAutoresponderStatus(kStatusConnectionLost);
      ctx_.SetSMTPProblemStatus(true);
      return;
  }
}

}  // namespace ar
