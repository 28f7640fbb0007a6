#include "mail/CharsetEncodedWord.h"

#include "mail/Charset.h"

#include <algorithm>
#include <cctype>

namespace ar {
namespace {

constexpr std::size_t kMaxWord = 66;

// Length of the UTF-8 sequence that starts with byte c (1 for stray bytes).
std::size_t SequenceLength(unsigned char c) {
  if (c >= 0xF0) return 4;
  if (c >= 0xE0) return 3;
  if (c >= 0xC0) return 2;
  return 1;
}

void AppendQ(std::string& out, unsigned char c) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  if (c == ' ') {
    out += '_';
  } else if (std::isalnum(c) || c == '!' || c == '*' || c == '+' || c == '-' || c == '/') {
    out += static_cast<char>(c);
  } else {
    out += '=';
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
}

}  // namespace

std::string EncodeHeaderText(std::string_view text, std::string_view declared) {
  if (IsAscii(text)) return std::string(text);
  const WireText wire = ToWireText(text, declared);
  // ToWireText converts to single bytes only for an ISO-8859-1 declaration.
  const bool utf8 = !SameCharsetName(wire.charset, "ISO-8859-1");
  const std::string open = "=?" + wire.charset + "?Q?";
  const std::size_t budget = kMaxWord - open.size() - 2;

  std::string out, word, character;
  const std::string_view bytes = wire.bytes;
  for (std::size_t pos = 0; pos < bytes.size();) {
    std::size_t len = utf8 ? SequenceLength(static_cast<unsigned char>(bytes[pos])) : 1;
    if (len > bytes.size() - pos) len = bytes.size() - pos;
    character.clear();
    for (std::size_t k = 0; k < len; ++k) AppendQ(character, static_cast<unsigned char>(bytes[pos + k]));
    pos += len;
    // A character never spans two words.
    if (!word.empty() && word.size() + character.size() > budget) {
      out += (out.empty() ? "" : "\r\n ") + open + word + "?=";
      word.clear();
    }
    word += character;
  }
  if (!word.empty()) out += (out.empty() ? "" : "\r\n ") + open + word + "?=";
  return out;
}

std::string MimeParameter(std::string_view name, std::string_view value) {
  const bool control = std::any_of(value.begin(), value.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
  });
  if (IsAscii(value) && !control) {
    std::string quoted = std::string(name) + "=\"";
    for (char c : value) {
      if (c == '"' || c == '\\') quoted += '\\';
      quoted += c;
    }
    return quoted + "\"";
  }
  static constexpr char kHex[] = "0123456789ABCDEF";
  const std::string utf8 = IsValidUtf8(value) ? std::string(value) : Windows1252ToUtf8(value);
  std::string out = std::string(name) + "*=UTF-8''";
  for (char ch : utf8) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (std::isalnum(c) || std::string_view("!#$&+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace ar
