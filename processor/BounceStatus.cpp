#include "processor/BounceStatus.h"

#include "base/Text.h"
#include "processor/HeaderFields.h"
#include "processor/TextSearch.h"

#include <cctype>

namespace ar {
namespace {

// Phrases of delivery reports, looked for in this order; the blanks around the reply
// codes belong to them.
constexpr std::string_view kBouncePhrases[] = {
    "unknown recipient",
    "invalid MAILBOX",
    "unknown User",
    "IS NOT ACCEPTING MAIL FROM THIS SENDER",
    "MAILBOX Not FOUND",
    "MAILBOX FULL",
    "unknown host",
    "undeliverable to",
    "hard bounce",
    "delivery to the following recipient's failed",
    " 500 ",
    " 501 ",
    " 502 ",
    " 503 ",
    " 504 ",
    " 550 ",
    " 551 ",
    " 552 ",
    " 553 ",
    " 554 ",
    "The recipient name is not recognized",
};

// How the subjects of reports begin (letter case ignored). People's replies begin with
// "Re:", so a report's subject quoted in a reply does not count.
constexpr std::string_view kReportSubjects[] = {
    "Undeliverable",
    "Undelivered Mail",
    "Undelivered Message",
    "Delivery Status Notification",
    "Delivery Notification",
    "Delivery Failure",
    "Delivery failed",
    "Delivery has failed",
    "Mail delivery failed",
    "Returned mail",
    "failure notice",
    "Non-delivery",
    "Nondeliverable",
    "Mail System Error",
    "Delayed Mail",
    "Warning: could not send message",
};

// The local parts of the senders of reports.
constexpr std::string_view kReportSenders[] = {"MAILER-DAEMON", "postmaster"};

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// The first enhanced status code of class 2, 4 or 5 ("5.1.1" between a blank, "#" or "("
// and a blank, CR or ")"), or the empty text.
std::string ScanStatusCode(std::string_view text) {
  // Seven blanks in front give a code at the very start the character before it.
  std::string work(7, ' ');
  work.append(text);
  // Positions count from 1 as in the work text: work[p - 1] is position p.
  auto at = [&](size_t p) { return work[p - 1]; };
  // The last start position puts the text's last character after the code.
  for (size_t p = 1; p <= text.size() + 1; ++p) {
    const char before = at(p), after = at(p + 6);
    if (at(p + 2) == '.' && at(p + 4) == '.' && IsDigit(at(p + 1)) && IsDigit(at(p + 3)) && IsDigit(at(p + 5)) &&
        (after == ')' || after == '\r' || after == ' ') && (before == '#' || before == '(' || before == ' ')) {
      const char cls = at(p + 1);
      if (cls == '2' || cls == '4' || cls == '5') return work.substr(p, 5);
    }
  }
  return "";
}

// The body of a message text: what follows the first empty line (CR LF or LF ended).
// A text without an empty line is all header fields and has no body.
std::string_view MessageBody(std::string_view messageText) {
  size_t lineStart = 0;
  for (;;) {
    const size_t lf = messageText.find('\n', lineStart);
    if (lf == std::string_view::npos) return {};
    const std::string_view line = messageText.substr(lineStart, lf - lineStart);
    if (line.empty() || line == "\r") return messageText.substr(lf + 1);
    lineStart = lf + 1;
  }
}

bool EqualsNoCase(std::string_view a, std::string_view b) { return a.size() == b.size() && StartsWithNoCase(a, b); }

// "multipart/report; report-type=..." with any report type, in any letter case.
bool IsReportContentType(const std::string& value) {
  const size_t end = value.find_first_of("; \t(");
  return EqualsNoCase(std::string_view(value).substr(0, end), "multipart/report");
}

// A null return path: "<>", blanks allowed inside.
bool IsNullReturnPath(const std::string& value) {
  std::string bare;
  for (char c : value)
    if (c != ' ' && c != '\t') bare += c;
  return bare == "<>";
}

// Whether the header block says the message is a report (see the header file).
bool IsReportByStructure(std::string_view messageText) {
  if (const auto type = HeaderField(messageText, "Content-Type"); type && IsReportContentType(*type)) return true;
  if (const auto path = HeaderField(messageText, "Return-Path"); path && IsNullReturnPath(*path)) return true;
  const std::string local = SenderOf(messageText).localPart;
  for (std::string_view sender : kReportSenders)
    if (EqualsNoCase(local, sender)) return true;
  const std::string subject = SubjectOf(messageText);
  for (std::string_view start : kReportSubjects)
    if (StartsWithNoCase(subject, start)) return true;
  return false;
}

bool HasBouncePhrase(std::string_view messageText) {
  // Blanks in front, as for the code, so that " 550 " matches at the very start.
  const std::string work = std::string(7, ' ') + std::string(messageText);
  for (std::string_view phrase : kBouncePhrases)
    if (FindNoCase(work, phrase) != std::string_view::npos) return true;
  return false;
}

}  // namespace

std::string GetBounceStatusCode(std::string_view messageText) {
  std::string code = ScanStatusCode(MessageBody(messageText));
  if (IsReportByStructure(messageText)) return code.empty() ? "5.1.1" : code;
  if (!code.empty() && HasBouncePhrase(messageText)) return code;
  return "";
}

}  // namespace ar
