#include "processor/Imap4Mailbox.h"

#include "base/Text.h"
#include "base/Trace.h"
#include "processor/TextSearch.h"

#include <cctype>

namespace ar {
namespace {

// The message within a FETCH answer: its RFC822 literal, or the whole answer when it
// holds none. The numbers of the framing ("* 550 FETCH") are not the message's.
std::string_view MessageProper(std::string_view answer) {
  const size_t mark = FindNoCase(answer, "RFC822 {");
  if (mark == std::string_view::npos) return answer;
  size_t at = mark + 8;
  size_t size = 0;
  while (at < answer.size() && std::isdigit(static_cast<unsigned char>(answer[at])) && size < (1u << 30))
    size = size * 10 + static_cast<size_t>(answer[at++] - '0');
  if (answer.substr(at, 3) != "}\r\n") return answer;
  return answer.substr(at + 3, size);
}

}  // namespace

bool Imap4Mailbox::Open(const MailboxAccount& account) {
  const std::string mailbox = ImapMailboxName(folder_.empty() ? "INBOX" : folder_);
  if (mailbox.empty()) {
    // Sent as it stands, a line break would end the command early and start another.
    TracePop("frmProcess:ReadPOP: the IMAP folder holds a line break or NUL and cannot be selected", true);
    ctx_.LogStatus("IMAP folder cannot be selected: " + account.server);
    return false;
  }
  if (session_.IMAPConnect(account.server, account.tls)) {
    TracePop("Connection failed to imap server: " + account.server);
    ctx_.LogStatus("Connection failed to imap server: " + account.server);
    session_.Sock().Abort();
    return false;
  }
  if (session_.IMAPLogin(account.userName, account.password)) {
    TracePop("IMAP Username/Password invalid");
    ctx_.LogStatus("IMAP Username/Password: " + account.server);
    session_.Sock().Abort();
    return false;
  }
  if (session_.IMAPCommand("01 SELECT " + mailbox + "\r\n", selected_) != ImapResult::Ok) {
    Fail("SELECT error");
    return false;
  }
  return true;
}

std::optional<long long> Imap4Mailbox::Count() { return LeadingCount(ExtractString(selected_, "*", "exists")); }

Mailbox::FetchResult Imap4Mailbox::Fetch(long long n, std::size_t limit, std::string& message) {
  bool tooLarge = false;
  if (session_.IMAPCommand("01 FETCH " + std::to_string(n) + " RFC822\r\n", message, limit, &tooLarge) !=
      ImapResult::Ok) {
    Fail("FETCH error");
    return FetchResult::Failed;
  }
  if (tooLarge) return FetchResult::TooLarge;
  KeepOnly(message, MessageProper(message));
  return FetchResult::Ok;
}

bool Imap4Mailbox::Delete(long long n) {
  std::string answer;
  if (session_.IMAPCommand("01 STORE " + std::to_string(n) + " +flags (\\deleted)\r\n", answer) == ImapResult::Ok)
    return true;
  Fail("STORE error");
  return false;
}

void Imap4Mailbox::Close() {
  session_.IMAPClose();
  ctx_.LogStatus("Closing IMAP account");
}

}  // namespace ar
