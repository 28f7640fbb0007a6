#pragma once
#include <string>

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

}  // namespace ar
