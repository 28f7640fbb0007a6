// The header extractors of the mailbox intake over any text and marks: ExtractBetween and
// ExtractString agree with plain searches in lower-cased copies; the sender is a
// well-formed address of the From field of the header block, which no text after that
// block can change, and nothing of a display name, comment or group syntax is in it.
#include "base/Text.h"
#include "fuzz/support/FuzzSupport.h"
#include "processor/HeaderFields.h"
#include "processor/MailboxAddress.h"
#include "processor/TextSearch.h"

#include <optional>
#include <string>
#include <string_view>

namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string Between(std::string_view text, std::string_view startMark, std::string_view endMark) {
  const std::string t = Lower(text), s = Lower(startMark), e = Lower(endMark);
  const size_t start = t.find(s);
  if (start == std::string::npos) return "";
  const size_t end = t.find(e, start + 1), from = start + s.size();
  if (end == std::string::npos || end < from) return "";
  return ar::TrimBlanks(text.substr(from, end - from));
}

std::string BackFromEnd(std::string_view text, std::string_view startMark, std::string_view endMark) {
  const std::string t = Lower(text), s = Lower(startMark), e = Lower(endMark);
  const size_t end = t.find(e);
  if (end == std::string::npos) return "";
  const size_t start = t.rfind(s, end);
  if (start == std::string::npos || start + s.size() > end) return "";
  return ar::TrimBlanks(text.substr(start + s.size(), end - start - s.size()));
}

// What follows the server's first line.
std::string_view AfterFirstLine(std::string_view received) {
  const size_t end = received.find("\r\n");
  return end == std::string_view::npos ? std::string_view() : received.substr(end + 2);
}

// An address as the list may hold it: local part "@" domain, and outside quoted strings
// and domain literals none of the characters that separate, quote or comment.
bool IsPlainAddress(const std::string& address) {
  const size_t at = address.rfind('@');
  if (at == std::string::npos || at == 0 || at + 1 == address.size()) return false;
  char open = 0;
  for (size_t i = 0; i < address.size(); ++i) {
    const char c = address[i];
    if (open) {
      if (c == '\\') ++i;
      else if (c == open) open = 0;
      continue;
    }
    if (c == '"') open = '"';
    else if (c == '[') open = ']';
    else if (c == ' ' || c == '\t' || c == '<' || c == '>' || c == '(' || c == ')' || c == ',' || c == ';' ||
             c == ':')
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input = ar::fuzz::Bytes(data, size);
  const unsigned lengths = ar::fuzz::TakeByte(input);
  const size_t startLength = std::min<size_t>(1 + lengths % 8, input.size());
  const std::string_view startMark = input.substr(0, startLength);
  input.remove_prefix(startLength);
  const size_t endLength = std::min<size_t>(1 + lengths / 8 % 4, input.size());
  const std::string_view endMark = input.substr(0, endLength);
  const std::string_view text = input.substr(endLength);
  if (!startMark.empty() && !endMark.empty()) {
    FUZZ_CHECK(ar::ExtractBetween(text, startMark, endMark) == Between(text, startMark, endMark));
    FUZZ_CHECK(ar::ExtractString(text, startMark, endMark) == BackFromEnd(text, startMark, endMark));
  }

  // The whole input as what a server sent for one message.
  const std::string_view received = ar::fuzz::Bytes(data, size);
  const std::string sender = ar::MessageSender(received), subject = ar::MessageSubject(received);
  const std::string_view message = AfterFirstLine(received);
  const std::optional<std::string> from = ar::HeaderField(message, "From");
  if (!sender.empty()) {
    FUZZ_CHECK(from.has_value());
    FUZZ_CHECK(IsPlainAddress(sender));
    FUZZ_CHECK(!ar::FirstMailbox(*from).text.empty());
  }
  if (!from) FUZZ_CHECK(sender.empty());
  FUZZ_CHECK(ar::TrimBlanks(subject) == subject);
  if (!ar::HeaderField(message, "Subject")) FUZZ_CHECK(subject.empty());

  // Only the header block counts: a body quoting other fields changes nothing.
  const std::string_view block = ar::HeaderBlock(message);
  if (block.size() + 2 <= message.size() && message.substr(block.size(), 2) == "\r\n") {
    const std::string other = std::string(received.substr(0, received.size() - message.size())) +
                              std::string(block) + "\r\nFrom: body@example.com\r\nSubject: unsubscribe\r\n";
    FUZZ_CHECK(ar::MessageSender(other) == sender);
    FUZZ_CHECK(ar::MessageSubject(other) == subject);
  }
  return 0;
}
