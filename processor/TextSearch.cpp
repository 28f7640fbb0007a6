#include "processor/TextSearch.h"

#include "processor/Addresses.h"

#include "store/Text.h"

namespace ar {

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
  const size_t start = RFindNoCase(text, startMark, end);
  if (start == std::string_view::npos) return "";
  const size_t from = start + startMark.size();
  if (from > end) return "";
  return TrimBlanks(text.substr(from, end - from));
}

std::string MessageSender(std::string_view received) {
  return TrimBlanks(EmailAddressOnly(ExtractBetween(received, "\r\nFrom:", "\r")));
}

std::string MessageSubject(std::string_view received) { return ExtractBetween(received, "\r\nsubject:", "\r"); }

}  // namespace ar
