#pragma once
// A POP3 mailbox over the run's mailbox session: USER and PASS, STAT, RETR, DELE, QUIT.
#include "processor/Mailbox.h"

namespace ar {

class Pop3Mailbox : public SessionMailbox {
 public:
  // dialogueTimeoutMs: the socket's time-out from the login on (the connect keeps the
  // one the caller set).
  Pop3Mailbox(MailboxSession& session, const RunContext& context, int dialogueTimeoutMs)
      : SessionMailbox(session, context), dialogueTimeoutMs_(dialogueTimeoutMs) {}

  bool Open(const MailboxAccount& account) override;
  std::optional<long long> Count() override;
  FetchResult Fetch(long long n, std::size_t limit, std::string& message) override;
  bool Delete(long long n) override;
  void Close() override;

 private:
  int dialogueTimeoutMs_;
};

}  // namespace ar
