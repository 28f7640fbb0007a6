#pragma once
// One event message to one subscriber: the bodies and addresses gathered from the event
// row and its files, one SMTP session with one mail transaction, QUIT.
#include "mail/MimeComposer.h"
#include "mail/SmtpSession.h"
#include "processor/BodyFile.h"
#include "processor/MessageOutcome.h"
#include "processor/RunContext.h"
#include "processor/StatusTexts.h"
#include "store/Connection.h"

#include <string>

namespace ar {

class EventMessage {
 public:
  explicit EventMessage(RunContext& context) : ctx_(context) {}

  // event: the event row set positioned on the event. Failures set the autoresponder's
  // status (and, for failures of the server, the SMTP problem flag) here.
  MessageOutcome SendEventMessage(const std::string& address, const RowSet& event, const SmtpSettings& settings);

  // Whether the last session failed because the server refused the password.
  bool AuthenticationRefused() const { return authRefused_; }

  // For tests: the session's time-outs.
  void SetTimeouts(int connectMs, int replyMs) {
    connectMs_ = connectMs;
    replyMs_ = replyMs;
  }

 private:
  // The body in the file at path, or the fallback when there is no such file.
  std::string BodyFromFile(const std::string& path, const std::string& fallback);
  // MAIL FROM, RCPT TO, DATA and the message, up to the final reply.
  MessageOutcome Transaction(SmtpSession& smtp, MailMessageContent& message, const std::string& recipient);
  // What a step that did not go on means: its reply, or the lack of one (a broken
  // connection, a silent server, or a stop request that abandoned the message).
  MessageOutcome Refusal(const SmtpReply& reply);
  MessageOutcome Interrupted(const std::string& reason);
  // The progress line and statuses of a message that did not go.
  void Report(MessageOutcome outcome, const std::string& recipient);
  bool Stopping() const { return ctx_.stop && ctx_.stop->Requested(); }

  RunContext& ctx_;
  BodyFileCache bodies_;
  int connectMs_ = SmtpSession::kConnectTimeoutMs;
  int replyMs_ = SmtpSession::kReplyTimeoutMs;
  // Why the last message did not go.
  bool authRefused_ = false;
  bool composeFailed_ = false;
  bool abandoned_ = false;
  std::string reason_;
};

// The recipient of a stored subscriber address: trimmed, every "," made ".", bare.
std::string RecipientAddress(const std::string& stored);
// The envelope sender of an event's FromAddress: the bare address, trimmed.
std::string SenderAddress(const std::string& fromAddress);
// The domain of the Message-Id: the bare sender's part after its first "@" (at most 200
// characters, trimmed), or the whole bare address when it has none.
std::string SenderDomain(const std::string& fromAddress);

}  // namespace ar
