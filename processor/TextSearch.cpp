#include "processor/TextSearch.h"

#include "processor/EncodedWords.h"
#include "processor/HeaderFields.h"

#include "base/Text.h"

namespace ar {
namespace {

// What follows the server's first line; nothing when the line never ends.
std::string_view AfterFirstLine(std::string_view received) {
  const size_t end = received.find("\r\n");
  return end == std::string_view::npos ? std::string_view() : received.substr(end + 2);
}

}  // namespace

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

MailboxAddress SenderOf(std::string_view message) {
  const std::optional<std::string> from = HeaderField(message, "From");
  return from ? FirstMailbox(*from) : MailboxAddress{};
}

std::string SubjectOf(std::string_view message) {
  const std::optional<std::string> subject = HeaderField(message, "Subject");
  return subject ? TrimBlanks(DecodeEncodedWords(*subject)) : std::string();
}

std::string MessageSender(std::string_view received) { return SenderOf(AfterFirstLine(received)).address; }

std::string MessageSubject(std::string_view received) { return SubjectOf(AfterFirstLine(received)); }

}  // namespace ar
