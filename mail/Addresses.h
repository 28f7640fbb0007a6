#pragma once
#include <string>
#include <string_view>

namespace ar {

// The bare address of "Name <address>": the text after the first "<" without its last
// character; a text without "<" as it stands. A text ending in "<" has no address: the
// error is traced and the result is empty.
std::string EmailAddressOnly(const std::string& text);

// Whether an address may be written into "MAIL FROM:<...>" or "RCPT TO:<...>" as it
// stands: not empty, and free of control characters, blanks and angle brackets, any of
// which would end the command early or smuggle a second one onto the wire. Addresses
// from mailboxes and imported files are checked with this before they are used.
bool IsSafeEnvelopeAddress(const std::string& address);

// Whether the text holds a control character (CR, LF, NUL, ...): a stored address that
// does cannot be trusted, whatever part of it would be used.
bool HasControlCharacter(std::string_view text);

// The text with control characters written as \xNN, for trace and progress lines.
std::string PrintableText(std::string_view text);

}  // namespace ar
