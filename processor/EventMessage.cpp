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

std::string SenderDomain(const std::string& fromAddress) {
  const std::string bare = EmailAddressOnly(fromAddress);
  const size_t at = bare.find('@');
  if (at == std::string::npos) return bare;
  return TrimBlanks(bare.substr(at + 1, 200));
}

bool EventMessage::SendEventMessage(const std::string& address, const RowSet& event, const SmtpSettings& settings) {
  Socket& socket = *ctx_.socket;
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
      if (authFailed) {
        ctx_.LogStatus("Error: SMTP Authenication failed");
        ctx_.SetLastAutoresponderStatus("Error: SMTP authentication failed");
      } else {
        ctx_.LogStatus("Error: STMP connection failed");
        ctx_.SetLastAutoresponderStatus("Error: SMTP connection failed");
      }
      ctx_.SetSMTPProblemStatus(true);
      // The next subscriber gets a fresh session, not this half-open one.
      socket.Abort();
      return true;
    }

    bool composeFailed = false;
    const bool ok = !smtp.SMTPSend("MAIL FROM: <" + EmailAddressOnly(message.from) + ">\r\n") && !smtp.SMTPReceive() &&
                    !smtp.SMTPSend("RCPT TO: <" + recipient + ">\r\n") && !smtp.SMTPReceive() &&
                    !smtp.SMTPSend("DATA\r\n") && !smtp.SMTPReceive();
    if (ok) {
      ComposerEnvironment environment;
      environment.biasMinutes = ctx_.utcBiasMinutes;
      environment.logStatus = [this](const std::string& line) { ctx_.LogStatus(line); };
      const std::string text = CreateMailMessage(message, environment);
      if (text.empty()) {
        composeFailed = true;
      } else if (!smtp.SMTPSend(text + "\r\n.\r\n", message.attached)) {
        smtp.SMTPReceive();
      }
    }
    if (composeFailed) {
      // Ending DATA now would deliver an empty message: drop the connection instead, so
      // that the server discards it, and leave the subscriber due.
      socket.Abort();
      ctx_.SetLastAutoresponderStatus("Error: message could not be composed");
      return true;
    }
    smtp.SMTPQuit();
    return false;
  } catch (const std::exception& e) {
    ctx_.LogStatus(std::string("Error: ") + e.what());
    socket.Abort();
    return true;
  }
}

}  // namespace ar
