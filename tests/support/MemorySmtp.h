#pragma once
// An SMTP server on a MemorySocket that accepts every message (or refuses as told) and
// keeps what it received, for tests of the event dispatch over many days and messages.
#include "mail/SocketMemory.h"

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

  // Transactions seen, one per session that got as far as MAIL FROM.
  const std::vector<DeliveredMail>& Mails() const { return mails_; }
  std::vector<std::string> Recipients() const;  // the addresses of completed messages
  int Sessions() const { return sessions_; }
  int Quits() const { return quits_; }

 private:
  void OnSend(MemorySocket& s, std::string_view text);

  enum class Phase { Commands, AuthUser, AuthPassword, Data };
  Phase phase_ = Phase::Commands;
  std::vector<DeliveredMail> mails_;
  int sessions_ = 0;
  int quits_ = 0;
};

}  // namespace ar::test
