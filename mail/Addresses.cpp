#include "mail/Addresses.h"

#include "base/Trace.h"

#include <cstdio>

namespace ar {

std::string EmailAddressOnly(const std::string& text) {
  const size_t open = text.find('<');
  if (open == std::string::npos) return text;
  const std::string rest = text.substr(open + 1);
  if (rest.empty()) {
    TracePop("Misc/EmailAddressOnly: Invalid procedure call or argument", true);
    return "";
  }
  return rest.substr(0, rest.size() - 1);
}

namespace {
bool IsControl(unsigned char c) { return c < ' ' || c == 0x7f; }
}  // namespace

bool HasControlCharacter(std::string_view text) {
  for (unsigned char c : text)
    if (IsControl(c)) return true;
  return false;
}

std::string PrintableText(std::string_view text) {
  std::string out;
  for (unsigned char c : text) {
    if (!IsControl(c)) {
      out += static_cast<char>(c);
      continue;
    }
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
    out += escaped;
  }
  return out;
}

}  // namespace ar
