#include "mail/SummaryMail.h"

#include "base/Clock.h"
#include "base/Text.h"
#include "mail/Charset.h"
#include "mail/DateLine.h"
#include "mail/EnvelopeAddress.h"
#include "mail/MailTransaction.h"
#include "mail/MessageId.h"
#include "mail/QuotedPrintable.h"
#include "store/ConfigurationRow.h"
#include "store/Connection.h"
#include "store/Value.h"

#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>

namespace ar {

namespace {

// The report is written by the control program itself; a file far beyond any report's
// size is not one.
constexpr std::streamsize kMaxReportBytes = 16 * 1024 * 1024;
// Longest line that goes out 7bit: with a stuffed "." it stays under 998 octets.
constexpr std::size_t kMaxPlainLine = 996;
// How much of a server's reply the operator is shown.
constexpr std::size_t kMaxShownReply = 200;

// The report's lines as UTF-8 (a file that is not UTF-8 is read as Windows-1252).
std::vector<std::string> ReadReportLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("File not found: " + path);
  std::string bytes;
  bytes.resize(static_cast<std::size_t>(kMaxReportBytes) + 1);
  in.read(bytes.data(), kMaxReportBytes + 1);
  if (in.bad()) throw std::runtime_error("Cannot read " + path);
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  if (bytes.size() > static_cast<std::size_t>(kMaxReportBytes)) throw std::runtime_error("Report too large: " + path);
  std::istringstream text(TextFileBytesToUtf8(bytes));
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool FitsSevenBit(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    if (line.size() > kMaxPlainLine) return false;
    for (unsigned char c : line)
      if ((c < ' ' && c != '\t') || c >= 0x7f) return false;
  }
  return true;
}

// A text from the server or the configuration as the operator sees it: one line, control
// characters made visible as "?", cut to a readable length.
std::string Shown(const std::string& text, std::size_t limit) {
  std::string out;
  for (unsigned char c : text.substr(0, limit)) out += c < ' ' || c == 0x7f ? '?' : static_cast<char>(c);
  return text.size() > limit ? out + "..." : out;
}

std::string ReplyReason(const SmtpReply& reply) {
  if (reply.kind == SmtpReply::Kind::Missing) return "no reply (" + Shown(reply.text, kMaxShownReply) + ")";
  return Shown(reply.text, kMaxShownReply);
}

struct Refusal {
  std::string address;
  std::string reason;
};

// One mail transaction: nothing when the server took the message, else why not. Any
// reply but the one each command wants ends the transaction; the session's own RSET
// follows a refused reply.
std::optional<std::string> Transact(SmtpSession& session, Socket& socket, const std::string& address,
                                    const std::string& helo, const std::vector<std::string>& report) {
  const MailTransactionResult done =
      RunMailTransaction(session, socket, address, address, MailGoAhead::Expected, [&]() -> std::optional<MailText> {
        // Dated when it is made: a run may cross a change of daylight saving time.
        const double now = NowDays();
        return MailText{SummaryMessageText(address, BuildDateHeader(now), NewMessageId(now, helo), report), {}};
      });
  switch (done.ending) {
    case MailTransactionResult::Ending::Accepted: return std::nullopt;
    case MailTransactionResult::Ending::SendFailed: return std::string("the connection was lost while sending");
    case MailTransactionResult::Ending::Stopped:
    case MailTransactionResult::Ending::NotComposed: break;
  }
  return ReplyReason(done.reply);
}

std::string Listed(const std::vector<Refusal>& refusals) {
  std::string out;
  for (const Refusal& r : refusals) out += (out.empty() ? "" : "; ") + Shown(r.address, 256) + ": " + r.reason;
  return out;
}

void TellOutcome(OperatorMessages& messages, int accepted, const std::vector<Refusal>& refused) {
  if (refused.empty()) {
    messages.ShowMessage("Summary email sent", "", MessageIcon::None);
  } else if (accepted == 0) {
    messages.ShowMessage("Error: the summary email was not accepted: " + Listed(refused), "", MessageIcon::Critical);
  } else {
    messages.ShowMessage("Summary email sent, but not accepted for " + Listed(refused), "", MessageIcon::Exclamation);
  }
}

}  // namespace

std::vector<std::string> CutSummaryAddresses(const std::string& list) {
  std::vector<std::string> addresses;
  auto add = [&](const std::string& piece) {
    std::string address = TrimBlanks(piece);
    if (address.empty()) return;
    if (static_cast<int>(addresses.size()) == kMaxSummaryAddresses) throw std::out_of_range("Subscript out of range");
    addresses.push_back(std::move(address));
  };
  std::size_t pos = 0;
  for (;;) {
    std::size_t sep = list.find(',', pos);
    if (sep == std::string::npos) sep = list.find(';', pos);
    if (sep == std::string::npos) {
      add(list.substr(pos, 200));
      return addresses;
    }
    add(list.substr(pos, sep - pos));
    pos = sep + 1;
  }
}

std::string SummaryMessageText(const std::string& address, const std::string& dateLine, const std::string& messageId,
                               const std::vector<std::string>& reportLines) {
  const bool sevenBit = FitsSevenBit(reportLines);
  std::string text = "From: Autoresponder Admin<" + address + ">\r\n";
  text += "To: " + address + "\r\n";
  text += dateLine + "\r\n";
  text += "Message-ID: " + messageId + "\r\n";
  text += "Subject: Autoreponder Summary Report\r\n";
  text += "MIME-Version: 1.0\r\n";
  text += "Content-Type: text/plain; charset=UTF-8\r\n";
  text += std::string("Content-Transfer-Encoding: ") + (sevenBit ? "7bit" : "quoted-printable") + "\r\n";
  text += "\r\n";
  std::string body;
  for (const std::string& line : reportLines) body += sevenBit ? line + "\r\n" : QuotedPrintableLine(line);
  // Every wire line that begins with "." gets a second one, soft-broken lines included.
  for (std::size_t at = 0; at < body.size();) {
    const std::size_t next = body.find("\r\n", at) + 2;
    if (body[at] == '.') text += '.';
    text.append(body, at, next - at);
    at = next;
  }
  text += "\r\n";
  text += ".\r\n";
  return text;
}

void SendSummaryReportEmail(Socket& socket, Connection& configuration, const std::string& dataFolder,
                            OperatorMessages& messages, const TraceFunction& trace) {
  const std::vector<std::string> report = ReadReportLines(dataFolder + "/reports/summaryreport.txt");

  const ConfigurationRow row = ConfigurationRow::Read(configuration);
  if (!row.Exists()) throw std::runtime_error("No configuration row");
  const SmtpSettings settings = SmtpSettingsFromConfiguration(row);
  const std::string recipients = row.SummaryReportEmail();

  if (settings.server.empty()) {
    messages.ShowMessage("No SMTP server has been set", "No SMTP Server", MessageIcon::Critical);
    return;
  }
  const std::vector<std::string> addresses = CutSummaryAddresses(recipients);
  if (addresses.empty()) {
    messages.ShowMessage("No address has been set for the summary email", "", MessageIcon::Critical);
    return;
  }
  // The right-hand side of the Message-ID: the name the client gives itself in HELO.
  const std::string helo =
      !settings.heloName.empty() ? settings.heloName : ComputerName().value_or(std::string(kFallbackHeloName));

  SmtpSession session(socket, trace);
  int accepted = 0;
  std::vector<Refusal> refused;
  for (const std::string& address : addresses) {
    // Sender and recipient at once: no longer than a path may carry.
    if (address.size() > kMaxEnvelopeAddressBytes || !IsSafeEnvelopeAddress(address)) {
      refused.push_back({address, "not a valid address"});
      continue;
    }
    bool authFailed = false;
    if (session.SMTPConnect(settings, authFailed)) {
      if (trace) trace("Could not connect to SMTP Server: " + settings.server, true);
      return;
    }
    if (std::optional<std::string> reason = Transact(session, socket, address, helo, report))
      refused.push_back({address, *reason});
    else
      ++accepted;
    session.SMTPQuit();
  }
  TellOutcome(messages, accepted, refused);
}

}  // namespace ar
