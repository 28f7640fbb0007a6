#include "processor/TextSearch.h"

#include <cctype>

namespace ar::text {
namespace {
bool EqualNoCase(char a, char b) {
  return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}
bool MatchAt(std::string_view haystack, std::string_view needle, size_t pos) {
  for (size_t i = 0; i < needle.size(); ++i)
    if (!EqualNoCase(haystack[pos + i], needle[i])) return false;
  return true;
}
}  // namespace

size_t FindNoCase(std::string_view haystack, std::string_view needle, size_t from) {
  if (needle.size() > haystack.size()) return std::string_view::npos;
  for (size_t pos = from; pos + needle.size() <= haystack.size(); ++pos)
    if (MatchAt(haystack, needle, pos)) return pos;
  return std::string_view::npos;
}

size_t FindLastNoCase(std::string_view haystack, std::string_view needle, size_t end) {
  if (needle.size() > haystack.size()) return std::string_view::npos;
  size_t pos = std::min(end, haystack.size() - needle.size() + 1);
  while (pos-- > 0)
    if (pos + needle.size() <= haystack.size() && MatchAt(haystack, needle, pos)) return pos;
  return std::string_view::npos;
}

std::string TrimBlanks(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && text[b] == ' ') ++b;
  while (e > b && text[e - 1] == ' ') --e;
  return std::string(text.substr(b, e - b));
}

std::string ExtractBetween(std::string_view text, std::string_view startMark, std::string_view endMark) {
  const size_t start = FindNoCase(text, startMark);
  if (start == std::string_view::npos) return "";
  // The end mark is looked for from just after the start of the start mark.
  const size_t end = FindNoCase(text, endMark, start + 1);
  const size_t from = start + startMark.size();
  if (end == std::string_view::npos || end < from) return "";
  return TrimBlanks(text.substr(from, end - from));
}

std::string ExtractString(std::string_view text, std::string_view startMark, std::string_view endMark) {
  const size_t end = FindNoCase(text, endMark);
  if (end == std::string_view::npos) return "";
  const size_t start = FindLastNoCase(text, startMark, end + 1);
  if (start == std::string_view::npos) return "";
  const size_t from = start + startMark.size();
  if (from > end) return "";
  return TrimBlanks(text.substr(from, end - from));
}

}  // namespace ar::text
