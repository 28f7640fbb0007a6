#include "processor/BounceStatus.h"

#include "store/Text.h"

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

}  // namespace

std::string GetBounceStatusCode(std::string_view messageText) {
  std::string code = ScanStatusCode(MessageBody(messageText));
  if (!code.empty()) return code;
  // Blanks in front, as for the code, so that " 550 " matches at the very start.
  const std::string work = std::string(7, ' ') + std::string(messageText);
  for (std::string_view phrase : kBouncePhrases)
    if (FindNoCase(work, phrase) != std::string_view::npos) return "5.1.1";
  return "";
}

}  // namespace ar
