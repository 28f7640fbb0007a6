#include "mail/EnvelopeAddress.h"

namespace ar {

bool IsSafeSmtpAddress(std::string_view address) {
  if (address.empty() || address.size() > kMaxEnvelopeAddressBytes) return false;
  for (unsigned char c : address) {
    if (c <= ' ' || c == 0x7f || c == '<' || c == '>') return false;
  }
  return true;
}

}  // namespace ar
