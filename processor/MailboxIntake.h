#pragma once
// Reads an autoresponder's mailbox over POP3 or IMAP4 and applies what it finds: a new
// sender is subscribed (unless the message is a delivery report), a known sender who
// asks to unsubscribe is unsubscribed, and every message taken is deleted.
#include "mail/MailboxSession.h"
#include "mail/Timeouts.h"
#include "processor/RunContext.h"

#include <string_view>

namespace ar {

// At most this many messages are taken in one run; the rest wait for later runs.
constexpr int kMaxMessagesPerRun = 1000;

class MailboxIntake : public MailboxReader {
 public:
  struct Limits {
    int connectTimeoutMs = kMailboxConnectTimeoutMs;  // connecting, and the whole IMAP4 dialogue
    int popDialogueTimeoutMs = kPop3ReadTimeoutMs;    // the POP3 dialogue after connecting
    std::size_t maxMessageBytes = kMaxMessageBytes;
  };
  explicit MailboxIntake(RunContext& context) : ctx_(context) {}
  MailboxIntake(RunContext& context, Limits limits) : ctx_(context), limits_(limits) {}
  void ReadPOP(const std::string& server, const std::string& userName, const std::string& password, bool useTls,
               int64_t autoresponderId, const std::string& serverType, const std::string& imapFolder) override;

 private:
  // message: the message alone, without the framing of the server's reply. A failing
  // statement of the subscriber table throws DbError.
  void ApplyMessage(int64_t autoresponderId, std::string_view message);

  RunContext& ctx_;
  Limits limits_;
};

}  // namespace ar
