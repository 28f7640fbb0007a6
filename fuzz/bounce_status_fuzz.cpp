// The delivery report check over any message text: the code found is the first enhanced
// status code of class 2, 4 or 5 that stands between its delimiters in the body (after
// the first empty line); with none there, the result is empty or the code that report
// phrases give ("5.1.1").
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = ar::fuzz::Bytes(data, size);
  const std::string code = ar::GetBounceStatusCode(text);
  const std::string expected = FirstCode(Body(text));
  if (!expected.empty()) FUZZ_CHECK(code == expected);
  else FUZZ_CHECK(code.empty() || code == "5.1.1");
  return 0;
}
