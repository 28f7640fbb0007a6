#include "mail/QuotedPrintable.h"

namespace ar {

namespace {

constexpr std::size_t kMaxWireLine = 76;

bool IsLiteral(unsigned char c) { return (c >= 33 && c <= 126 && c != '=') || c == ' ' || c == '\t'; }

std::string Escaped(unsigned char c) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  return {'=', kHex[c >> 4], kHex[c & 0x0f]};
}

}  // namespace

std::string QuotedPrintableLine(std::string_view line) {
  std::string out;
  std::string wire;  // the wire line being filled
  for (std::size_t i = 0; i < line.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    const bool last = i + 1 == line.size();
    // A blank at the end of a line would be taken away by a relay that trims lines.
    std::string piece = IsLiteral(c) && !(last && (c == ' ' || c == '\t')) ? std::string(1, line[i]) : Escaped(c);
    // Room for the soft line break "=" unless this is the line's last piece.
    if (wire.size() + piece.size() + (last ? 0 : 1) > kMaxWireLine) {
      out += wire + "=\r\n";
      wire.clear();
    }
    wire += piece;
  }
  return out + wire + "\r\n";
}

}  // namespace ar
