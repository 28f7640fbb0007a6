// Base64 of any bytes: the one-line form decodes back to the same bytes, its length is
// the padded multiple of four, and it uses the alphabet only.
#include "mail/Base64.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

const std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Decode(std::string_view text) {
  std::string bytes;
  unsigned buffer = 0;
  int bits = 0;
  for (char c : text) {
    if (c == '=') break;
    const size_t value = kAlphabet.find(c);
    if (value == std::string_view::npos) std::abort();
    buffer = (buffer << 6) | static_cast<unsigned>(value);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes += static_cast<char>((buffer >> bits) & 0xff);
    }
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string encoded = ar::Base64_encode(bytes);
  if (encoded.size() != (size + 2) / 3 * 4) std::abort();
  if (Decode(encoded) != bytes) std::abort();
  if (ar::EncodeBase64Bytes(bytes) != encoded) std::abort();
  return 0;
}
