#include "control/events/PageColour.h"

#include "mail/Addresses.h"

#include <cctype>
#include <cstdio>
#include <stdexcept>

namespace ar {
namespace {

int HexPair(const std::string& text, std::size_t at) { return std::stoi(text.substr(at, 2), nullptr, 16); }

}  // namespace

PageColour ParsePageColour(const std::string& text) {
  bool valid = text.size() == 7 && text[0] == '#';
  for (std::size_t i = 1; valid && i < text.size(); ++i) valid = std::isxdigit(static_cast<unsigned char>(text[i]));
  if (!valid) throw std::invalid_argument("\"" + PrintableText(text.substr(0, 40)) + "\" is not a colour of the form #RRGGBB");
  return {HexPair(text, 1), HexPair(text, 3), HexPair(text, 5)};
}

std::string PageColourText(const PageColour& colour) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", colour.red & 0xFF, colour.green & 0xFF, colour.blue & 0xFF);
  return text;
}

}  // namespace ar
