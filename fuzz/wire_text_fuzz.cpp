// A body file's bytes on their way to the wire, and header texts in encoded words: the
// file's text is valid UTF-8 that keeps every ASCII byte in place, its lines all end in
// CR LF, the wire bytes are that text in the charset declared, and the encoded words of a
// header decode back to those bytes in words short enough for a 76-character line.
#include "fuzz/support/FuzzSupport.h"
#include "mail/BodyFile.h"
#include "mail/Charset.h"
#include "mail/CharsetEncodedWord.h"

#include <string>
#include <string_view>

namespace {

constexpr std::string_view kDeclared[] = {"ISO-8859-1", "utf-8", "us-ascii", "windows-1252"};

std::string AsciiOnly(std::string_view text) {
  std::string out;
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x80) out += c;
  return out;
}

// Every CR LF as a lone CR.
std::string LineEndsAsCr(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    out += text[i];
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
  }
  return out;
}

void CheckBodyLines(const std::string& text) {
  const std::string lines = ar::BodyLines(text);
  for (size_t at = lines.find('\r'); at != std::string::npos; at = lines.find('\r', at + 1))
    FUZZ_CHECK(at + 1 < lines.size() && lines[at + 1] == '\n');
  std::string ends = LineEndsAsCr(text);
  if (!ends.empty() && ends.back() != '\r') ends += '\r';
  FUZZ_CHECK(LineEndsAsCr(lines) == ends);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The bytes the encoded words of a header text stand for.
void CheckEncodedWords(const std::string& header, const ar::WireText& wire) {
  const std::string open = "=?" + wire.charset + "?Q?";
  std::string decoded;
  size_t pos = 0;
  while (pos < header.size()) {
    if (pos > 0) {
      FUZZ_CHECK(header.compare(pos, 3, "\r\n ") == 0);
      pos += 3;
    }
    FUZZ_CHECK(header.compare(pos, open.size(), open) == 0);
    const size_t close = header.find("?=", pos + open.size());
    FUZZ_CHECK(close != std::string::npos && close + 2 - pos <= 66);
    for (size_t i = pos + open.size(); i < close; ++i) {
      const char c = header[i];
      if (c == '_') {
        decoded += ' ';
      } else if (c == '=') {
        FUZZ_CHECK(i + 2 < close && HexValue(header[i + 1]) >= 0 && HexValue(header[i + 2]) >= 0);
        decoded += static_cast<char>(HexValue(header[i + 1]) * 16 + HexValue(header[i + 2]));
        i += 2;
      } else {
        FUZZ_CHECK(static_cast<unsigned char>(c) > 0x20 && static_cast<unsigned char>(c) < 0x7f && c != '?');
        decoded += c;
      }
    }
    pos = close + 2;
  }
  FUZZ_CHECK(decoded == wire.bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes = ar::fuzz::Bytes(data, size);
  const std::string_view declared = kDeclared[ar::fuzz::TakeByte(bytes) % std::size(kDeclared)];

  const std::string text = ar::TextFileBytesToUtf8(bytes);
  FUZZ_CHECK(ar::IsValidUtf8(text));
  if (ar::IsValidUtf8(bytes))
    FUZZ_CHECK(text == (bytes.substr(0, 3) == "\xEF\xBB\xBF" ? bytes.substr(3) : bytes));
  else
    FUZZ_CHECK(AsciiOnly(text) == AsciiOnly(bytes));
  CheckBodyLines(text);

  // The raw bytes too: a text from elsewhere need not be valid UTF-8.
  const ar::WireText wire = ar::ToWireText(bytes, declared);
  const std::string utf8 = ar::IsValidUtf8(bytes) ? std::string(bytes) : ar::Windows1252ToUtf8(bytes);
  if (ar::IsAscii(bytes)) {
    FUZZ_CHECK(wire.charset == declared && wire.bytes == bytes);
    FUZZ_CHECK(ar::EncodeHeaderText(bytes, declared) == bytes);
    return 0;
  }
  if (ar::SameCharsetName(wire.charset, "ISO-8859-1")) {
    FUZZ_CHECK(wire.charset == declared && ar::Latin1ToUtf8(wire.bytes) == utf8);
  } else {
    FUZZ_CHECK(ar::SameCharsetName(wire.charset, "UTF-8") && wire.bytes == utf8);
  }
  CheckEncodedWords(ar::EncodeHeaderText(bytes, declared), wire);
  return 0;
}
