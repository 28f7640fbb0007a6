#pragma once
// A mailbox as intake reads it, whatever protocol the server speaks: open (connect and
// log in), count, then fetch and delete one message at a time, close. Each protocol
// writes its own progress lines, statuses and trace lines, and drops the connection
// when its dialogue fails; a mailbox that says the session is over needs nothing more.
#include "mail/MailboxSession.h"
#include "processor/RunContext.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace ar {

struct MailboxAccount {
  std::string server;  // host, or host ":" port
  std::string userName;
  std::string password;
  bool tls = false;
};

class Mailbox {
 public:
  enum class FetchResult {
    Ok,        // message holds the message alone, without the framing of the reply
    TooLarge,  // beyond the limit: read to its end but not kept
    Failed,    // the session is over
  };
  virtual ~Mailbox() = default;

  // Connects and logs in; false when the session is over.
  virtual bool Open(const MailboxAccount& account) = 0;
  // How many messages the mailbox holds; nothing when the session is over.
  virtual std::optional<long long> Count() = 0;
  // Message n, counted from 1.
  virtual FetchResult Fetch(long long n, std::size_t limit, std::string& message) = 0;
  // Marks message n deleted; false when the session is over.
  virtual bool Delete(long long n) = 0;
  // Ends the session in order, deleted messages going with it.
  virtual void Close() = 0;
};

// What the protocols share: the run's mailbox session and the run they report to.
class SessionMailbox : public Mailbox {
 protected:
  SessionMailbox(MailboxSession& session, const RunContext& context) : session_(session), ctx_(context) {}
  // Traces what failed and drops the connection.
  void Fail(const std::string& what);

  MailboxSession& session_;
  const RunContext& ctx_;
};

// For the protocols: the leading number of a text, rounded; 0 when there is none.
long long LeadingCount(std::string_view text);
// For the protocols: cuts text down to part, a piece of it (or an empty view), in place,
// so that a message of many megabytes is not copied.
void KeepOnly(std::string& text, std::string_view part);

}  // namespace ar
