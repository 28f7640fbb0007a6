// The header extractors of the mailbox intake over any text and marks: ExtractBetween and
// ExtractString agree with plain searches in lower-cased copies, and the sender and the
// subject are trimmed pieces of one header line of what the server sent.
#include "fuzz/support/FuzzSupport.h"
#include "processor/TextSearch.h"
#include "store/Text.h"

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

// A piece of one line of the text, without blanks or tabs at its ends.
bool IsTrimmedPieceOfALine(const std::string& piece, std::string_view text) {
  if (piece.empty()) return true;
  return piece.find('\r') == std::string::npos && ar::TrimBlanks(piece) == piece &&
         text.find(piece) != std::string_view::npos;
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
  FUZZ_CHECK(IsTrimmedPieceOfALine(sender, received));
  FUZZ_CHECK(IsTrimmedPieceOfALine(subject, received));
  if (!subject.empty()) FUZZ_CHECK(Lower(received).find("\r\nsubject:") != std::string::npos);
  if (!sender.empty()) FUZZ_CHECK(Lower(received).find("\r\nfrom:") != std::string::npos);
  return 0;
}
