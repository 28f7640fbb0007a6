#pragma once
#include <string>
#include <string_view>

namespace ar {

// The bare address of "Name <address>": the text after the first "<" without its last
// character; a text without "<" as it stands. A text ending in "<" has no address: the
// error is traced and the result is empty.
std::string EmailAddressOnly(const std::string& text);

// Whether the text holds a control character (CR, LF, NUL, ...): a stored address that
// does cannot be trusted, whatever part of it would be used.
bool HasControlCharacter(std::string_view text);

// The text with control characters written as \xNN, for trace and progress lines.
std::string PrintableText(std::string_view text);

}  // namespace ar
