#pragma once
// The check an address passes before it goes into "MAIL FROM:<...>" or "RCPT TO:<...>".
#include <cstddef>
#include <string_view>

namespace ar {

// The longest address a path may carry: 256 octets with the angle brackets.
inline constexpr std::size_t kMaxEnvelopeAddressBytes = 254;

// Not empty, not longer than kMaxEnvelopeAddressBytes, and free of control characters,
// blanks and angle brackets, any of which would end the command early or smuggle a
// second one onto the wire.
bool IsSafeSmtpAddress(std::string_view address);

}  // namespace ar
