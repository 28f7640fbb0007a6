// Texts stored in the database files, and addresses taken from mailboxes: the bare
// address is a piece of the text, the printable form of a text holds no control
// character, a summary recipient list is cut into at most its limit of trimmed pieces
// without losing a byte but blanks, a server text's host is the text before its port or
// the address in its brackets and its port the default, the out-of-range port or a
// 32-bit number, and an IMAP folder goes into SELECT as one atom or quoted string standing for
// the folder, or not at all when no quoted string can carry it.
#include "base/Text.h"
#include "fuzz/support/FuzzSupport.h"
#include "mail/Addresses.h"
#include "mail/EnvelopeAddress.h"
#include "mail/MailboxSession.h"
#include "mail/ServerAddress.h"
#include "mail/SummaryMail.h"
#include "processor/EventMessage.h"

#include <climits>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace {

void CheckBareAddress(const std::string& text) {
  const std::string bare = ar::EmailAddressOnly(text);
  const size_t open = text.find('<');
  if (open == std::string::npos) FUZZ_CHECK(bare == text);
  else FUZZ_CHECK(text.compare(open + 1, bare.size(), bare) == 0 && open + 1 + bare.size() == std::max(text.size() - 1, open + 1));

  const std::string sender = ar::SenderAddress(text);
  FUZZ_CHECK(ar::TrimBlanks(sender) == sender && text.find(sender) != std::string::npos);
  const std::string domain = ar::SenderDomain(text);
  FUZZ_CHECK(domain.size() <= sender.size() && sender.find(domain) != std::string::npos);
  const std::string recipient = ar::RecipientAddress(text);
  FUZZ_CHECK(recipient.size() <= text.size() && recipient.find(',') == std::string::npos);
}

void CheckPrintable(const std::string& text) {
  const std::string printable = ar::PrintableText(text);
  FUZZ_CHECK(!ar::HasControlCharacter(printable));
  if (!ar::HasControlCharacter(text)) FUZZ_CHECK(printable == text);
  if (ar::IsSafeEnvelopeAddress(text)) FUZZ_CHECK(!text.empty() && !ar::HasControlCharacter(text));
}

// Without the separators, blanks and tabs, the pieces hold every byte of the list (when
// the last piece cannot have been cut short), each one trimmed and not empty.
std::string Letters(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != ',' && c != ';' && c != ' ' && c != '\t') out += c;
  return out;
}

void CheckSummaryList(const std::string& list) {
  try {
    const std::vector<std::string> pieces = ar::CutSummaryAddresses(list);
    FUZZ_CHECK(pieces.size() <= static_cast<size_t>(ar::kMaxSummaryAddresses));
    std::string joined;
    size_t from = 0;
    for (const std::string& piece : pieces) {
      FUZZ_CHECK(!piece.empty() && ar::TrimBlanks(piece) == piece && piece.find(',') == std::string::npos);
      const size_t at = list.find(piece, from);
      FUZZ_CHECK(at != std::string::npos);
      from = at + piece.size();
      joined += piece;
    }
    if (list.size() <= 200) FUZZ_CHECK(Letters(joined) == Letters(list));
  } catch (const std::out_of_range&) {
    size_t separators = 0;
    for (char c : list) separators += c == ',' || c == ';';
    FUZZ_CHECK(separators >= static_cast<size_t>(ar::kMaxSummaryAddresses));
  }
}

void CheckServerText(const std::string& server) {
  const ar::ServerEndpoint ep = ar::SplitServerText(server, 110, 25);
  FUZZ_CHECK(ep.port >= INT_MIN && ep.port <= INT_MAX);
  const size_t close = server.find(']');
  if (!server.empty() && server[0] == '[' && close != std::string::npos) {
    FUZZ_CHECK(ep.host == server.substr(1, close - 1));
    if (close + 1 == server.size()) FUZZ_CHECK(ep.port == 110);
  } else if (ar::IsIpv6Literal(server)) {
    FUZZ_CHECK(ep.host == server && ep.port == 110);
  } else {
    const size_t colon = server.find(':');
    FUZZ_CHECK(ep.host == server.substr(0, colon));
    if (colon == std::string::npos) FUZZ_CHECK(ep.port == 110);
  }
}

// The content of a text that is one IMAP quoted string, or nothing.
std::optional<std::string> Unquoted(const std::string& text) {
  if (text.size() < 2 || text.front() != '"' || text.back() != '"') return std::nullopt;
  std::string content;
  for (size_t i = 1; i + 1 < text.size(); ++i) {
    if (text[i] == '"') return std::nullopt;
    if (text[i] == '\\') {
      if (i + 2 >= text.size() || (text[i + 1] != '"' && text[i + 1] != '\\')) return std::nullopt;
      ++i;
    }
    content += text[i];
  }
  return content;
}

void CheckImapFolder(const std::string& folder) {
  const std::string name = ar::ImapMailboxName(folder);
  const bool breaks = folder.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos;
  FUZZ_CHECK(name.empty() == breaks);
  if (breaks) return;
  const std::optional<std::string> content = Unquoted(name);
  // An atom, a folder typed with its quotes, or the folder quoted.
  FUZZ_CHECK((!content && name == folder && name.find_first_of(" \"\\(){") == std::string::npos) ||
             (content && (name == folder || *content == folder)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(ar::fuzz::Bytes(data, size));
  CheckBareAddress(text);
  CheckPrintable(text);
  CheckSummaryList(text);
  CheckServerText(text);
  CheckImapFolder(text);
  return 0;
}
