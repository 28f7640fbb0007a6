#include "mail/EnvelopeAddress.h"

namespace ar {

bool IsSafeEnvelopeAddress(std::string_view address) {
  if (address.empty()) return false;
  for (unsigned char c : address) {
    if (c <= ' ' || c == 0x7f || c == '<' || c == '>') return false;
  }
  return true;
}

}  // namespace ar
