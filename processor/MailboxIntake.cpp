#include "processor/MailboxIntake.h"

#include "base/Text.h"
#include "base/Trace.h"
#include "mail/Addresses.h"
#include "processor/BounceStatus.h"
#include "processor/TextSearch.h"
#include "store/Schema.h"

#include <cctype>
#include <cmath>
#include <stdexcept>

namespace ar {
namespace {

constexpr size_t kMaxAddressLength = 100;  // the width of EmailAddress

// A row of the subscriber table that cannot be read or written (a lock held past the
// busy time-out, a read-only file): reading stops, and the message stays on the server.
constexpr const char* kStatusIntakeNotRecorded = "Error: the database cannot be written, mailbox reading stopped";

constexpr const char* kReportNotSubscribed = "Delivery report not subscribed: ";
constexpr const char* kUnsafeSenderTrace =
    "frmProcess:ReadPOP: sender address holding a control character, blank or angle bracket not subscribed: ";

void Trace(const std::string& message) { TracePop(message); }

// An address from a mailbox as a trace line may show it: control characters as \xNN, and
// at most a few hundred characters, so that the line stays one short line.
std::string Printable(std::string_view address) {
  constexpr size_t kShown = 200;
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : address.substr(0, kShown)) {
    if (c < 0x20 || c == 0x7f) out += {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
    else out += static_cast<char>(c);
  }
  if (address.size() > kShown) out += "...";
  return out;
}

// The leading number of a text, rounded; 0 when there is none.
long long LeadingCount(const std::string& text) {
  const double v = LeadingNumber(text);
  return std::isfinite(v) ? std::llround(v) : 0;
}

// The message itself within what the server sent for it: a POP3 reply without its status
// line and its "." line, an IMAP4 answer's RFC822 literal. The sender, the subject and
// the delivery report check read only this: the reply codes and numbers of the framing
// ("+OK 550 octets", "* 550 FETCH") are not the message's.
std::string_view MessageProper(std::string_view received, bool pop) {
  if (pop) {
    const size_t start = received.find("\r\n");
    if (start == std::string_view::npos) return {};
    std::string_view rest = received.substr(start + 2);
    if (rest == ".\r\n") return {};
    if (rest.size() >= 5 && rest.substr(rest.size() - 5) == "\r\n.\r\n") rest.remove_suffix(3);
    return rest;
  }
  const size_t mark = FindNoCase(received, "RFC822 {");
  if (mark == std::string_view::npos) return received;
  size_t at = mark + 8;
  size_t size = 0;
  while (at < received.size() && std::isdigit(static_cast<unsigned char>(received[at])) && size < (1u << 30))
    size = size * 10 + static_cast<size_t>(received[at++] - '0');
  if (received.substr(at, 3) != "}\r\n") return received;
  return received.substr(at + 3, size);
}

}  // namespace

void MailboxIntake::ReadPOP(const std::string& server, const std::string& userName, const std::string& password,
                            bool useTls, int64_t autoresponderId, const std::string& serverType,
                            const std::string& imapFolder) {
  Socket& socket = *ctx_.socket;
  MailboxSession s(socket, TracePop);
  try {
    socket.SetTimeoutMs(limits_.connectTimeoutMs);
    const bool pop = serverType == "POP3";
    const bool imap = serverType == "IMAP4";
    long long count = 0;
    if (pop && OpenPop(s, server, userName, password, useTls, count) == Step::End) return;
    if (imap && OpenImap(s, server, userName, password, useTls, imapFolder, count) == Step::End) return;

    ctx_.LogStatus("Number of messages: " + std::to_string(count));
    const long long take = std::min<long long>(count, kMaxMessagesPerRun);
    for (long long i = 1; i <= take; ++i) {
      const std::string n = std::to_string(i);
      std::string message;
      bool tooLarge = false;
      if (pop) {
        s.POPSend("RETR " + n + "\r\n");
        const MultilineResult r = s.POPReceiveMultiline(message, limits_.maxMessageBytes);
        if (r == MultilineResult::Failed) {
          Trace("RETR error");
          socket.Abort();
          return;
        }
        tooLarge = r == MultilineResult::TooLarge;
      } else {
        if (s.IMAPCommand("01 FETCH " + n + " RFC822\r\n", message, limits_.maxMessageBytes, &tooLarge) != ImapResult::Ok) {
          Trace("FETCH error");
          socket.Abort();
          return;
        }
      }
      if (tooLarge) {
        // Too big to read safely: it stays on the server for the operator to deal with.
        TracePop("frmProcess:ReadPOP: message " + n + " is larger than " + std::to_string(limits_.maxMessageBytes) +
                     " bytes; it was not read and stays on the server",
                 true);
        continue;
      }
      try {
        ApplyMessage(autoresponderId, MessageProper(message, pop));
      } catch (const DbError& e) {
        // Neither DELE nor STORE for this message, nor QUIT or CLOSE: the server keeps it
        // and its sender is read again next run.
        TracePop(std::string("frmProcess:ReadPOP: ") + e.what(), true);
        ctx_.SetPOPProblemStatus(true);
        ctx_.SetLastAutoresponderStatus(kStatusIntakeNotRecorded);
        socket.Abort();
        return;
      }

      if (pop) {
        std::string reply;
        s.POPSend("DELE " + n + "\r\n");
        if (s.POPReceive(reply)) {
          Trace("DELE error");
          socket.Abort();
          return;
        }
      } else {
        std::string answer;
        if (s.IMAPCommand("01 STORE " + n + " +flags (\\deleted)\r\n", answer) != ImapResult::Ok) {
          Trace("STORE error");
          socket.Abort();
          return;
        }
      }
    }
    if (pop) {
      s.POPQuit();
      ctx_.LogStatus("Closing POP account");
    } else if (imap) {
      s.IMAPClose();
      ctx_.LogStatus("Closing IMAP account");
    }
  } catch (const std::exception& e) {
    TracePop(std::string("frmProcess:ReadPOP: ") + e.what(), true);
    // A connection left open would be taken over by the next mailbox's connect.
    socket.Abort();
  }
}

MailboxIntake::Step MailboxIntake::OpenPop(MailboxSession& s, const std::string& server, const std::string& user,
                                           const std::string& password, bool tls, long long& count) {
  Socket& socket = s.Sock();
  if (s.POPConnect(server, tls)) {
    Trace("Connection failed to pop server: " + server);
    ctx_.LogStatus("Connection failed to server: " + server);
    ctx_.SetLastAutoresponderStatus("Error: POP connection failure");
    ctx_.SetPOPProblemStatus(true);
    socket.Abort();
    return Step::End;
  }
  socket.SetTimeoutMs(limits_.popDialogueTimeoutMs);
  ctx_.LogStatus("Logging in");
  std::string reply;
  for (const auto& [command, label] : {std::pair{"USER " + user, "USER error"}, std::pair{"PASS " + password, "PASS error"}}) {
    s.POPSend(command + "\r\n");
    if (s.POPReceive(reply)) {
      Trace(label);
      ctx_.SetLastAutoresponderStatus("Error: POP username/password failed");
      ctx_.SetPOPProblemStatus(true);
      ctx_.LogStatus("POP username or password not accepted");
      socket.Abort();
      return Step::End;
    }
  }
  ctx_.LogStatus("Log in successful");
  ctx_.LogStatus("Obtaining message count");
  s.POPSend("STAT\r\n");
  if (s.POPReceive(reply)) {
    Trace("STAT error");
    socket.Abort();
    return Step::End;
  }
  std::string line = reply;
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  if (line.empty()) {
    ctx_.LogStatus("Cannot access POP account");
    return Step::End;
  }
  // "+OK 5 1234": the count runs from the fifth character to the next blank.
  const size_t blank = reply.size() >= 5 ? reply.find(' ', 4) : std::string::npos;
  if (blank == std::string::npos) throw std::runtime_error("STAT reply without a blank after the message count: " + line);
  count = LeadingCount(reply.substr(4, blank - 4));
  return Step::Continue;
}

MailboxIntake::Step MailboxIntake::OpenImap(MailboxSession& s, const std::string& server, const std::string& user,
                                            const std::string& password, bool tls, const std::string& folder,
                                            long long& count) {
  Socket& socket = s.Sock();
  const std::string mailbox = ImapMailboxName(folder.empty() ? "INBOX" : folder);
  if (mailbox.empty()) {
    // Sent as it stands, a line break would end the command early and start another.
    TracePop("frmProcess:ReadPOP: the IMAP folder holds a line break or NUL and cannot be selected", true);
    ctx_.LogStatus("IMAP folder cannot be selected: " + server);
    return Step::End;
  }
  if (s.IMAPConnect(server, tls)) {
    Trace("Connection failed to imap server: " + server);
    ctx_.LogStatus("Connection failed to imap server: " + server);
    socket.Abort();
    return Step::End;
  }
  if (s.IMAPLogin(user, password)) {
    Trace("IMAP Username/Password invalid");
    ctx_.LogStatus("IMAP Username/Password: " + server);
    socket.Abort();
    return Step::End;
  }
  std::string answer;
  if (s.IMAPCommand("01 SELECT " + mailbox + "\r\n", answer) != ImapResult::Ok) {
    Trace("SELECT error");
    socket.Abort();
    return Step::End;
  }
  count = LeadingCount(ExtractString(answer, "*", "exists"));
  return Step::Continue;
}

void MailboxIntake::ApplyMessage(int64_t autoresponderId, std::string_view message) {
  const MailboxAddress from = SenderOf(message);
  if (from.text.empty()) return;  // no sender at all
  // Judged only where it decides: for a sender not on the list.
  auto isReport = [&] { return !GetBounceStatusCode(message).empty(); };
  if (!from.WellFormed()) {
    if (isReport()) {
      ctx_.LogStatus(kReportNotSubscribed + Printable(from.text));
    } else if (!IsSafeEnvelopeAddress(from.text)) {
      TracePop(kUnsafeSenderTrace + Printable(from.text), true);
    } else {
      TracePop("frmProcess:ReadPOP: sender line without a usable address not subscribed: " + Printable(from.text),
               true);
    }
    return;
  }
  const std::string& sender = from.address;
  const std::string table = SubscriberTable(autoresponderId);
  RowSet rows = ctx_.subscribers->Query("select * from " + table + " where EmailAddress=?", {sender});
  if (rows.Eof()) {
    if (isReport()) {
      ctx_.LogStatus(kReportNotSubscribed + Printable(sender));
      return;
    }
    // Subscribers' addresses end up in SMTP commands; one that could break a command
    // line is never taken. The message is deleted all the same, or it would come back
    // every run.
    if (!IsSafeEnvelopeAddress(sender)) {
      TracePop(kUnsafeSenderTrace + Printable(sender), true);
      return;
    }
    if (sender.size() > kMaxAddressLength) {
      TracePop("frmProcess:ReadPOP: sender address longer than " + std::to_string(kMaxAddressLength) +
                   " characters not subscribed: " + Printable(sender),
               true);
      return;
    }
    ctx_.subscribers->Execute("insert into " + table + " (EmailAddress, AddedDate) values (?, now())", {sender});
    ctx_.LogStatus("New subscriber: " + sender);
  } else if (FindNoCase(SubjectOf(message), "unsubscribe") == std::string::npos) {
    ctx_.LogStatus("New subscriber already in list: " + sender);
  } else {
    ctx_.subscribers->Execute("update " + table + " set UnsubscribeDate=now() where SubscriberID=?",
                              {rows.Field("SubscriberID")});
    ctx_.LogStatus("Received unsubscribed request: " + sender);
  }
}

}  // namespace ar
