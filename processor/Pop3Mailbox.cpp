#include "processor/Pop3Mailbox.h"

#include "base/Trace.h"

#include <stdexcept>

namespace ar {
namespace {

// The message within a RETR reply: without its status line and its "." line. The reply
// codes and numbers of the framing ("+OK 550 octets") are not the message's.
std::string_view MessageProper(std::string_view reply) {
  const size_t start = reply.find("\r\n");
  if (start == std::string_view::npos) return {};
  std::string_view rest = reply.substr(start + 2);
  if (rest == ".\r\n") return {};
  if (rest.size() >= 5 && rest.substr(rest.size() - 5) == "\r\n.\r\n") rest.remove_suffix(3);
  return rest;
}

}  // namespace

bool Pop3Mailbox::Open(const MailboxAccount& account) {
  if (session_.POPConnect(account.server, account.tls)) {
    TracePop("Connection failed to pop server: " + account.server);
    ctx_.LogStatus("Connection failed to server: " + account.server);
    ctx_.SetLastAutoresponderStatus("Error: POP connection failure");
    ctx_.SetPOPProblemStatus(true);
    session_.Sock().Abort();
    return false;
  }
  session_.Sock().SetTimeoutMs(dialogueTimeoutMs_);
  ctx_.LogStatus("Logging in");
  std::string reply;
  for (const auto& [command, label] :
       {std::pair{"USER " + account.userName, "USER error"}, std::pair{"PASS " + account.password, "PASS error"}}) {
    session_.POPSend(command + "\r\n");
    if (session_.POPReceive(reply)) {
      TracePop(label);
      ctx_.SetLastAutoresponderStatus("Error: POP username/password failed");
      ctx_.SetPOPProblemStatus(true);
      ctx_.LogStatus("POP username or password not accepted");
      session_.Sock().Abort();
      return false;
    }
  }
  ctx_.LogStatus("Log in successful");
  return true;
}

std::optional<long long> Pop3Mailbox::Count() {
  ctx_.LogStatus("Obtaining message count");
  session_.POPSend("STAT\r\n");
  std::string reply;
  if (session_.POPReceive(reply)) {
    Fail("STAT error");
    return std::nullopt;
  }
  std::string line = reply;
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  if (line.empty()) {
    ctx_.LogStatus("Cannot access POP account");
    return std::nullopt;
  }
  // "+OK 5 1234": the count runs from the fifth character to the next blank.
  const size_t blank = reply.size() >= 5 ? reply.find(' ', 4) : std::string::npos;
  if (blank == std::string::npos)
    throw std::runtime_error("STAT reply without a blank after the message count: " + line);
  return LeadingCount(std::string_view(reply).substr(4, blank - 4));
}

Mailbox::FetchResult Pop3Mailbox::Fetch(long long n, std::size_t limit, std::string& message) {
  session_.POPSend("RETR " + std::to_string(n) + "\r\n");
  switch (session_.POPReceiveMultiline(message, limit)) {
    case MultilineResult::Failed: Fail("RETR error"); return FetchResult::Failed;
    case MultilineResult::TooLarge: return FetchResult::TooLarge;
    case MultilineResult::Ok: break;
  }
  KeepOnly(message, MessageProper(message));
  return FetchResult::Ok;
}

bool Pop3Mailbox::Delete(long long n) {
  std::string reply;
  session_.POPSend("DELE " + std::to_string(n) + "\r\n");
  if (!session_.POPReceive(reply)) return true;
  Fail("DELE error");
  return false;
}

void Pop3Mailbox::Close() {
  session_.POPQuit();
  ctx_.LogStatus("Closing POP account");
}

}  // namespace ar
