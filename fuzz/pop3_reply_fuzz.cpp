// The POP3 reply reader over any bytes from the server, read reply after reply until the
// connection is gone: each result agrees with a model of the dialogue. A one-line reply
// is good when it begins with "+" (after blanks), else RSET goes out and its reply is
// read; a multi-line reply runs to the "." line, and one whose lines before it pass the
// size limit is read to its end but reported too large, never kept.
#include "fuzz/support/FuzzSupport.h"
#include "mail/MailboxSession.h"

#include <string>
#include <string_view>

namespace {

constexpr int kMaxReplies = 64;

bool BeginsWithPlus(std::string_view line) {
  const size_t first = line.find_first_not_of(' ');
  return first != std::string_view::npos && line[first] == '+';
}

void ReadOneLineReplies(ar::MailboxSession& session, ar::MemorySocket& socket, ar::fuzz::ServerLines& model) {
  for (int i = 0; i < kMaxReplies && socket.State() == ar::SocketState::Connected; ++i) {
    const size_t sentBefore = socket.Sent().size();
    std::string line;
    const bool failed = session.POPReceive(line);
    const std::optional<std::string_view> expected = model.Next();
    if (!expected) {
      FUZZ_CHECK(failed && socket.State() == ar::SocketState::Closed);
      return;
    }
    FUZZ_CHECK(line == *expected);
    FUZZ_CHECK(failed == !BeginsWithPlus(line));
    if (!failed) {
      FUZZ_CHECK(socket.Sent().size() == sentBefore);
      continue;
    }
    // A refusal is followed by RSET and the reply to it, whatever that says.
    FUZZ_CHECK(std::string_view(socket.Sent()).substr(sentBefore) == "RSET\r\n");
    if (!model.Next()) FUZZ_CHECK(socket.State() == ar::SocketState::Closed);
  }
}

void ReadMultilineReplies(ar::MailboxSession& session, ar::MemorySocket& socket, ar::fuzz::ServerLines& model,
                          size_t limit) {
  for (int i = 0; i < kMaxReplies && socket.State() == ar::SocketState::Connected; ++i) {
    const size_t start = model.Position();
    std::string reply = "untouched";
    const ar::MultilineResult result = session.POPReceiveMultiline(reply, limit);
    FUZZ_CHECK(socket.Sent().empty());

    const std::optional<std::string_view> status = model.Next();
    if (status && !BeginsWithPlus(*status)) {
      FUZZ_CHECK(result == ar::MultilineResult::Failed && reply == "untouched");
      continue;
    }
    std::optional<std::string_view> line = status;
    while (line && *line != ".\r\n") line = model.Next();
    if (!line) {
      // Cut off before its end: never a whole message.
      FUZZ_CHECK(result == ar::MultilineResult::Failed && reply == "untouched");
      FUZZ_CHECK(socket.State() == ar::SocketState::Closed);
      return;
    }
    const std::string_view whole = model.Between(start, model.Position());
    if (whole.size() - 3 > limit) {
      FUZZ_CHECK(result == ar::MultilineResult::TooLarge && reply == "untouched");
    } else {
      FUZZ_CHECK(result == ar::MultilineResult::Ok && reply == whole);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input = ar::fuzz::Bytes(data, size);
  const unsigned settings = ar::fuzz::TakeByte(input);
  // A small limit, so that the too-large path is reached by short inputs.
  const size_t limit = settings >> 1;
  ar::MemorySocket socket;
  ar::MailboxSession session(socket, [](const std::string&, bool) {});
  ar::fuzz::ServeOnce(socket, input);
  ar::fuzz::ServerLines model(input);
  if (settings & 1) ReadMultilineReplies(session, socket, model, limit);
  else ReadOneLineReplies(session, socket, model);
  return 0;
}
