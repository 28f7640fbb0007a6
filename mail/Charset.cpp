#include "mail/Charset.h"

#include <cctype>

namespace ar {
namespace {

// Unicode code points of Windows-1252 bytes 0x80 to 0x9F.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

bool SameCharsetName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

bool IsAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

bool IsValidUtf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t len;
    unsigned lo = 0x80, hi = 0xBF;  // bounds of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      if (c == 0xE0) lo = 0xA0;       // overlong
      if (c == 0xED) hi = 0x9F;       // surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      if (c == 0xF0) lo = 0x90;       // overlong
      if (c == 0xF4) hi = 0x8F;       // above U+10FFFF
    } else {
      return false;
    }
    if (n - i < len) return false;
    if (p[i + 1] < lo || p[i + 1] > hi) return false;
    for (std::size_t k = 2; k < len; ++k)
      if ((p[i + k] & 0xC0) != 0x80) return false;
    i += len;
  }
  return true;
}

bool FitsLatin1(std::string_view utf8) {
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const unsigned c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) continue;
    if (c != 0xC2 && c != 0xC3) return false;
    ++i;  // the continuation byte of U+0080 to U+00FF
  }
  return true;
}

std::string Utf8ToLatin1(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const unsigned c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80 || i + 1 >= utf8.size()) {
      out += static_cast<char>(c);
      continue;
    }
    const unsigned next = static_cast<unsigned char>(utf8[++i]);
    out += static_cast<char>(((c & 0x1F) << 6) | (next & 0x3F));
  }
  return out;
}

std::string Latin1ToUtf8(std::string_view latin1) {
  std::string out;
  out.reserve(latin1.size() * 2);
  for (char c : latin1) AppendUtf8(out, static_cast<unsigned char>(c));
  return out;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char ch : bytes) {
    const unsigned c = static_cast<unsigned char>(ch);
    AppendUtf8(out, c >= 0x80 && c <= 0x9F ? kCp1252High[c - 0x80] : c);
  }
  return out;
}

std::string TextFileBytesToUtf8(std::string_view bytes) {
  if (!IsValidUtf8(bytes)) return Windows1252ToUtf8(bytes);
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  return std::string(bytes);
}

WireText ToWireText(std::string_view text, std::string_view declared) {
  if (IsAscii(text)) return {std::string(declared), std::string(text)};
  const std::string utf8 = IsValidUtf8(text) ? std::string(text) : Windows1252ToUtf8(text);
  if (SameCharsetName(declared, "ISO-8859-1") && FitsLatin1(utf8)) return {std::string(declared), Utf8ToLatin1(utf8)};
  if (SameCharsetName(declared, "UTF-8")) return {std::string(declared), utf8};
  return {"UTF-8", utf8};
}

}  // namespace ar
