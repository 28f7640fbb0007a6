// The delivery report check over any message text. A result is always the first
// enhanced status code of class 2, 4 or 5 that stands between its delimiters in the body
// (after the first empty line), or 5.1.1 when the body has none. A code with a phrase of
// reports is a report; a message without header fields is a report only so; and a
// Content-Type of multipart/report put in front makes any text a report.
#include "fuzz/support/FuzzSupport.h"
#include "processor/BounceStatus.h"

#include <string>
#include <string_view>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// What follows the first empty line (LF or CR LF ended); nothing when there is none.
std::string_view Body(std::string_view text) {
  if (text.substr(0, 1) == "\n") return text.substr(1);
  if (text.substr(0, 2) == "\r\n") return text.substr(2);
  const size_t bare = text.find("\n\n"), crlf = text.find("\n\r\n");
  if (bare == std::string_view::npos && crlf == std::string_view::npos) return {};
  return bare < crlf ? text.substr(bare + 2) : text.substr(crlf + 3);
}

// The first "5.1.1" of class 2, 4 or 5 with a blank, "#" or "(" (or the start) before it
// and a blank, CR or ")" after it.
std::string FirstCode(std::string_view body) {
  for (size_t at = 0; at + 6 <= body.size(); ++at) {
    const std::string_view c = body.substr(at, 5);
    const char before = at == 0 ? ' ' : body[at - 1], after = body[at + 5];
    if ((c[0] == '2' || c[0] == '4' || c[0] == '5') && c[1] == '.' && IsDigit(c[2]) && c[3] == '.' &&
        IsDigit(c[4]) && (before == ' ' || before == '#' || before == '(') &&
        (after == ' ' || after == '\r' || after == ')'))
      return std::string(c);
  }
  return "";
}

// Whether one of the phrases of reports occurs, letter case ignored, with blanks in front.
bool HasPhrase(std::string_view text) {
  static constexpr std::string_view kPhrases[] = {
      "unknown recipient", "invalid mailbox", "unknown user", "is not accepting mail from this sender",
      "mailbox not found", "mailbox full", "unknown host", "undeliverable to", "hard bounce",
      "delivery to the following recipient's failed", " 500 ", " 501 ", " 502 ", " 503 ", " 504 ", " 550 ", " 551 ",
      " 552 ", " 553 ", " 554 ", "the recipient name is not recognized"};
  std::string work = "       ";
  for (char c : text) work += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  for (std::string_view phrase : kPhrases)
    if (work.find(phrase) != std::string::npos) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = ar::fuzz::Bytes(data, size);
  const std::string code = ar::GetBounceStatusCode(text);
  const std::string expected = FirstCode(Body(text));
  if (!code.empty()) FUZZ_CHECK(code == (expected.empty() ? "5.1.1" : expected));
  if (!expected.empty() && HasPhrase(text)) FUZZ_CHECK(code == expected);
  // No header fields at all (the text begins with its empty line): nothing but a code
  // and a phrase together makes it a report.
  if (text.substr(0, 2) == "\r\n") FUZZ_CHECK(code == (!expected.empty() && HasPhrase(text) ? expected : ""));

  const std::string marked = "Content-Type: multipart/report\r\n" + std::string(text);
  const std::string markedCode = FirstCode(Body(marked));
  FUZZ_CHECK(ar::GetBounceStatusCode(marked) == (markedCode.empty() ? "5.1.1" : markedCode));
  return 0;
}
