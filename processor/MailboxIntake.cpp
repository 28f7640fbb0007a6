#include "processor/MailboxIntake.h"

#include "base/Text.h"
#include "base/Trace.h"
#include "mail/Addresses.h"
#include "mail/EnvelopeAddress.h"
#include "processor/BounceStatus.h"
#include "processor/Imap4Mailbox.h"
#include "processor/Pop3Mailbox.h"
#include "processor/TextSearch.h"
#include "store/Schema.h"

#include <algorithm>
#include <memory>
#include <optional>

namespace ar {
namespace {

constexpr size_t kMaxAddressLength = 100;  // the width of EmailAddress

// A row of the subscriber table that cannot be read or written (a lock held past the
// busy time-out, a read-only file): reading stops, and the message stays on the server.
constexpr const char* kStatusIntakeNotRecorded = "Error: the database cannot be written, mailbox reading stopped";

constexpr const char* kReportNotSubscribed = "Delivery report not subscribed: ";
constexpr const char* kUnsafeSenderTrace =
    "frmProcess:ReadPOP: sender address holding a control character, blank or angle bracket not subscribed: ";

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

}  // namespace

void MailboxIntake::ReadPOP(const std::string& server, const std::string& userName, const std::string& password,
                            bool useTls, int64_t autoresponderId, const std::string& serverType,
                            const std::string& imapFolder) {
  Socket& socket = *ctx_.socket;
  MailboxSession session(socket, TracePop);
  try {
    socket.SetTimeoutMs(limits_.connectTimeoutMs);
    std::unique_ptr<Mailbox> mailbox;
    if (serverType == "POP3") mailbox = std::make_unique<Pop3Mailbox>(session, ctx_, limits_.popDialogueTimeoutMs);
    if (serverType == "IMAP4") mailbox = std::make_unique<Imap4Mailbox>(session, ctx_, imapFolder);
    if (!mailbox) {
      // A type this program does not read: an empty mailbox, and no connection.
      ctx_.LogStatus("Number of messages: 0");
      return;
    }
    if (!mailbox->Open({server, userName, password, useTls})) return;
    const std::optional<long long> count = mailbox->Count();
    if (!count) return;

    ctx_.LogStatus("Number of messages: " + std::to_string(*count));
    const long long take = std::min<long long>(*count, kMaxMessagesPerRun);
    for (long long n = 1; n <= take; ++n) {
      std::string message;
      const Mailbox::FetchResult fetched = mailbox->Fetch(n, limits_.maxMessageBytes, message);
      if (fetched == Mailbox::FetchResult::Failed) return;
      if (fetched == Mailbox::FetchResult::TooLarge) {
        // Too big to read safely: it stays on the server for the operator to deal with.
        TracePop("frmProcess:ReadPOP: message " + std::to_string(n) + " is larger than " +
                     std::to_string(limits_.maxMessageBytes) + " bytes; it was not read and stays on the server",
                 true);
        continue;
      }
      try {
        ApplyMessage(autoresponderId, message);
      } catch (const DbError& e) {
        // The message is not deleted, nor the session closed: the server keeps it and
        // its sender is read again next run.
        TracePop(std::string("frmProcess:ReadPOP: ") + e.what(), true);
        ctx_.SetPOPProblemStatus(true);
        ctx_.SetLastAutoresponderStatus(kStatusIntakeNotRecorded);
        socket.Abort();
        return;
      }
      if (!mailbox->Delete(n)) return;
    }
    mailbox->Close();
  } catch (const std::exception& e) {
    TracePop(std::string("frmProcess:ReadPOP: ") + e.what(), true);
    // A connection left open would be taken over by the next mailbox's connect.
    socket.Abort();
  }
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
    ++ctx_.newSubscribers;
  } else if (FindNoCase(SubjectOf(message), "unsubscribe") == std::string::npos) {
    ctx_.LogStatus("New subscriber already in list: " + sender);
  } else {
    ctx_.subscribers->Execute("update " + table + " set UnsubscribeDate=now() where SubscriberID=?",
                              {rows.Field("SubscriberID")});
    ctx_.LogStatus("Received unsubscribed request: " + sender);
  }
}

}  // namespace ar
