#include "processor/EncodedWords.h"

#include <algorithm>
#include <optional>

namespace ar {
namespace {

// Words are at most 75 characters; some mailers write longer ones. The bound keeps a
// text full of "=?" that never closes from being scanned again and again.
constexpr size_t kMaxWordLength = 1024;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsControlOrBlank(char c) { return static_cast<unsigned char>(c) <= ' ' || c == 0x7f; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Padding may be missing; anything after it, or outside the alphabet, is not base64.
std::optional<std::string> DecodeB(std::string_view encoded) {
  std::string out;
  unsigned buffer = 0;
  int bits = 0;
  size_t i = 0;
  for (; i < encoded.size() && encoded[i] != '='; ++i) {
    const int v = Base64Value(encoded[i]);
    if (v < 0) return std::nullopt;
    buffer = ((buffer << 6) | static_cast<unsigned>(v)) & 0xffffff;
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((buffer >> bits) & 0xff);
    }
  }
  for (; i < encoded.size(); ++i)
    if (encoded[i] != '=') return std::nullopt;
  return out;
}

std::string DecodeQ(std::string_view encoded) {
  std::string out;
  for (size_t i = 0; i < encoded.size(); ++i) {
    const char c = encoded[i];
    if (c == '_') {
      out += ' ';
    } else if (c == '=' && i + 2 < encoded.size() && HexValue(encoded[i + 1]) >= 0 && HexValue(encoded[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(encoded[i + 1]) * 16 + HexValue(encoded[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

// The encoded word that starts at `at` ("=?" charset "?" B|Q "?" text "?="): its length,
// with its decoded bytes in `decoded`; 0 when none starts there.
size_t ReadWord(std::string_view text, size_t at, std::string& decoded) {
  const std::string_view rest = text.substr(at, kMaxWordLength);
  if (rest.substr(0, 2) != "=?") return 0;
  const size_t charsetEnd = rest.find('?', 2);
  if (charsetEnd == std::string_view::npos || charsetEnd == 2 || charsetEnd + 2 >= rest.size()) return 0;
  for (size_t i = 2; i < charsetEnd; ++i)
    if (IsControlOrBlank(rest[i])) return 0;
  const char encoding = rest[charsetEnd + 1];
  if (rest[charsetEnd + 2] != '?') return 0;
  const size_t from = charsetEnd + 3;
  const size_t end = rest.find('?', from);
  if (end == std::string_view::npos || end + 1 >= rest.size() || rest[end + 1] != '=') return 0;
  const std::string_view encoded = rest.substr(from, end - from);
  if (std::any_of(encoded.begin(), encoded.end(), IsControlOrBlank)) return 0;
  if (encoding == 'B' || encoding == 'b') {
    std::optional<std::string> bytes = DecodeB(encoded);
    if (!bytes) return 0;
    decoded = std::move(*bytes);
  } else if (encoding == 'Q' || encoding == 'q') {
    decoded = DecodeQ(encoded);
  } else {
    return 0;
  }
  return end + 2;
}

}  // namespace

std::string DecodeEncodedWords(std::string_view text) {
  std::string out;
  // Where the last decoded word ended in `out`, while only blanks followed it.
  constexpr size_t kNone = std::string::npos;
  size_t afterWord = kNone;
  std::string decoded;
  for (size_t i = 0; i < text.size();) {
    if (const size_t length = ReadWord(text, i, decoded); length > 0) {
      if (afterWord != kNone) out.resize(afterWord);
      out += decoded;
      afterWord = out.size();
      i += length;
      continue;
    }
    if (!IsBlank(text[i])) afterWord = kNone;
    out += text[i++];
  }
  return out;
}

}  // namespace ar
