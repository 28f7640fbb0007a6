#pragma once
// An SMTP server on a MemorySocket that accepts every message (or refuses as told) and
// keeps what it received, for tests of the event dispatch over many days and messages.
#include "mail/MemorySocket.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace ar::test {

struct DeliveredMail {
  std::string mailFrom;  // the MAIL FROM line as sent
  std::string rcptTo;    // the RCPT TO line as sent
  std::string data;      // the message text, "." line included
  bool completed;        // the message was ended and accepted
};

class MemorySmtp {
 public:
  explicit MemorySmtp(MemorySocket& socket);

  bool refuseRecipient = false;  // 550 to RCPT TO
  bool refusePassword = false;   // 535 after the password

  // The reply to a step in place of the usual one, by step: "GREETING", "MAIL", "RCPT",
  // "DATA", "END" (after the message's final "."). kSilent: no reply at all (the read
  // times out); kDrop: the server closes the connection instead.
  std::map<std::string, std::string> replies;
  static constexpr const char* kSilent = "";
  static constexpr const char* kDrop = "DROP";
  // Called at the start of every session with its number (from 0), before the greeting,
  // so that a test can set the replies of that session.
  std::function<void(int session)> beforeSession;
  // Called when a message's final "." arrives, before the reply.
  std::function<void()> onMessageEnd;

  // Transactions seen, one per session that got as far as MAIL FROM.
  const std::vector<DeliveredMail>& Mails() const { return mails_; }
  std::vector<std::string> Recipients() const;  // the addresses of completed messages
  int Sessions() const { return sessions_; }
  int Quits() const { return quits_; }

 private:
  void OnSend(MemorySocket& s, std::string_view text);
  // Delivers the reply of a step: the one the test set, or the usual one. Returns the
  // reply delivered (empty when none).
  std::string Reply(MemorySocket& s, const std::string& step, const std::string& usual);

  enum class Phase { Commands, AuthUser, AuthPassword, Data };
  Phase phase_ = Phase::Commands;
  std::vector<DeliveredMail> mails_;
  int sessions_ = 0;
  int quits_ = 0;
};

}  // namespace ar::test
