#pragma once
// One event message to one subscriber: the bodies and addresses gathered from the event
// row and its files, one SMTP session with one mail transaction, QUIT.
#include "mail/SmtpSession.h"
#include "processor/BodyFile.h"
#include "processor/RunContext.h"
#include "store/Connection.h"

#include <string>

namespace ar {

class EventMessage {
 public:
  explicit EventMessage(RunContext& context) : ctx_(context) {}

  // event: the event row set positioned on the event. Returns true when the message
  // could not be handed to the server (no connection, refused authentication, an
  // unexpected error); a refusal after the connection counts as handed over.
  bool SendEventMessage(const std::string& address, const RowSet& event, const SmtpSettings& settings);

  // For tests: the session's time-outs.
  void SetTimeouts(int connectMs, int replyMs) {
    connectMs_ = connectMs;
    replyMs_ = replyMs;
  }

 private:
  // The body in the file at path, or the fallback when there is no such file.
  std::string BodyFromFile(const std::string& path, const std::string& fallback);

  RunContext& ctx_;
  BodyFileCache bodies_;
  int connectMs_ = SmtpSession::kConnectTimeoutMs;
  int replyMs_ = SmtpSession::kReplyTimeoutMs;
};

// The recipient of a stored subscriber address: trimmed, every "," made ".", bare.
std::string RecipientAddress(const std::string& stored);
// The domain of the Message-Id: the bare sender's part after its first "@" (at most 200
// characters, trimmed), or the whole bare address when it has none.
std::string SenderDomain(const std::string& fromAddress);

}  // namespace ar
