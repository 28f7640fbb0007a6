#pragma once
// An IMAP4 mailbox over the run's mailbox session: LOGIN, SELECT of the folder, FETCH,
// STORE of the \deleted flag, CLOSE.
#include "processor/Mailbox.h"

namespace ar {

class Imap4Mailbox : public SessionMailbox {
 public:
  // folder: as the operator typed it; empty selects INBOX.
  Imap4Mailbox(MailboxSession& session, const RunContext& context, std::string folder)
      : SessionMailbox(session, context), folder_(std::move(folder)) {}

  bool Open(const MailboxAccount& account) override;
  std::optional<long long> Count() override;
  FetchResult Fetch(long long n, std::size_t limit, std::string& message) override;
  bool Delete(long long n) override;
  void Close() override;

 private:
  std::string folder_;
  std::string selected_;  // the answer to SELECT, which holds the count
};

}  // namespace ar
