#pragma once
// The check an address passes before it goes into "MAIL FROM:<...>" or "RCPT TO:<...>".
#include <cstddef>
#include <string_view>

namespace ar {

// The longest address a path may carry: 256 octets with the angle brackets. Mail the
// program writes to an address it was given as it stands (the summary mail) keeps to it.
inline constexpr std::size_t kMaxEnvelopeAddressBytes = 254;

// Whether an address may be written into "MAIL FROM:<...>" or "RCPT TO:<...>" as it
// stands: not empty, and free of control characters, blanks and angle brackets, any of
// which would end the command early or smuggle a second one onto the wire. Addresses
// from mailboxes and imported files are checked with this before they are used.
bool IsSafeEnvelopeAddress(std::string_view address);

}  // namespace ar
