#include "base/Text.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace ar {
namespace {

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool MatchesAt(std::string_view text, std::string_view what, std::size_t at) {
  if (at > text.size() || text.size() - at < what.size()) return false;
  for (std::size_t k = 0; k < what.size(); ++k)
    if (Lower(text[at + k]) != Lower(what[k])) return false;
  return true;
}

}  // namespace

std::string TrimBlanks(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (b < e && (text[b] == ' ' || text[b] == '\t')) ++b;
  while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t')) --e;
  return std::string(text.substr(b, e - b));
}

std::size_t FindNoCase(std::string_view text, std::string_view what, std::size_t from) {
  for (std::size_t i = from; i < text.size() && text.size() - i >= what.size(); ++i)
    if (MatchesAt(text, what, i)) return i;
  return std::string_view::npos;
}

std::size_t RFindNoCase(std::string_view text, std::string_view what, std::size_t atOrBefore) {
  if (text.size() < what.size()) return std::string_view::npos;
  std::size_t i = std::min(atOrBefore, text.size() - what.size());
  for (;; --i) {
    if (MatchesAt(text, what, i)) return i;
    if (i == 0) return std::string_view::npos;
  }
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) { return MatchesAt(text, prefix, 0); }

std::string WithoutLineBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (c != '\r' && c != '\n') out += c;
  return out;
}

double LeadingNumber(std::string_view text) {
  auto digit = [&](size_t k) { return k < text.size() && std::isdigit(static_cast<unsigned char>(text[k])); };
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  size_t end = i;
  if (end < text.size() && (text[end] == '+' || text[end] == '-')) ++end;
  const size_t digitsStart = end;
  while (digit(end)) ++end;
  if (end < text.size() && text[end] == '.') {
    ++end;
    while (digit(end)) ++end;
  }
  if (end == digitsStart || (end == digitsStart + 1 && text[digitsStart] == '.')) return 0;
  if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
    size_t e = end + 1;
    if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
    if (digit(e)) {
      while (digit(e)) ++e;
      end = e;
    }
  }
  return std::strtod(std::string(text.substr(i, end - i)).c_str(), nullptr);
}

std::string LeftCharacters(const std::string& text, std::size_t size) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (characters++ == size) return text.substr(0, i);
  }
  return text;
}

}  // namespace ar
