// The IMAP4 answer reader over any bytes from the server, one "01" command after another
// until the connection is gone: each answer agrees with a model that reads the bytes
// directly. An answer runs to the first line beginning "01 "; a line ending "{n}" is
// followed by n bytes of literal, whatever they hold, and then the same line goes on. The
// answer kept is exactly the bytes read, unless they pass the size limit: then nothing
// is kept and tooLarge is set.
#include "base/Text.h"
#include "fuzz/support/FuzzSupport.h"
#include "mail/MailboxSession.h"

#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr int kMaxCommands = 64;
constexpr const char* kCommand = "01 NOOP\r\n";

// The byte count of the literal a line announces ("... {123}\r\n"), or nothing.
std::optional<long long> Literal(std::string_view line) {
  if (line.size() < 3 || line.substr(line.size() - 3) != "}\r\n") return std::nullopt;
  const size_t open = line.rfind('{');
  if (open == std::string_view::npos) return std::nullopt;
  const std::string_view digits = line.substr(open + 1, line.size() - 3 - open - 1);
  if (digits.empty()) return std::nullopt;
  long long n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
    if (n > (1LL << 40)) return std::nullopt;
  }
  return n;
}

struct Expected {
  ar::ImapResult result;
  size_t end;  // where the answer's bytes end
};

// The answer that starts at `start`; nothing when the bytes end before it does.
std::optional<Expected> ModelAnswer(const ar::fuzz::ServerLines& bytes, size_t start, size_t total) {
  size_t lineStart = start;
  std::optional<size_t> end = bytes.LineEndFrom(start);
  for (;;) {
    if (!end) return std::nullopt;
    std::string_view line = bytes.Between(lineStart, *end);
    while (const std::optional<long long> size = Literal(line)) {
      if (*size == 0) {
        lineStart = *end;
        end = bytes.LineEndFrom(lineStart);
      } else {
        if (static_cast<unsigned long long>(*size) > total - *end) return std::nullopt;
        // The line goes on right after the literal, up to the first line end past it
        // (even one whose CR is the literal's last byte).
        lineStart = *end + static_cast<size_t>(*size);
        end = bytes.LineEndFrom(lineStart - 1);
      }
      if (!end) return std::nullopt;
      line = bytes.Between(lineStart, *end);
    }
    if (ar::StartsWithNoCase(line, "01 ")) {
      const std::string_view status = line.substr(3);
      const ar::ImapResult result = ar::StartsWithNoCase(status, "OK")   ? ar::ImapResult::Ok
                                    : ar::StartsWithNoCase(status, "NO") ? ar::ImapResult::No
                                                                         : ar::ImapResult::Bad;
      return Expected{result, *end};
    }
    lineStart = *end;
    end = bytes.LineEndFrom(lineStart);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input = ar::fuzz::Bytes(data, size);
  // A small limit, so that the too-large path is reached by short inputs.
  const size_t limit = ar::fuzz::TakeByte(input);
  ar::MemorySocket socket;
  ar::MailboxSession session(socket, [](const std::string&, bool) {});
  ar::fuzz::ServeOnce(socket, input);
  const ar::fuzz::ServerLines bytes(input);
  size_t position = 0;
  for (int i = 1; i <= kMaxCommands && socket.State() == ar::SocketState::Connected; ++i) {
    std::string answer = "left from before";
    bool tooLarge = false;
    const ar::ImapResult result = session.IMAPCommand(kCommand, answer, limit, &tooLarge);
    FUZZ_CHECK(socket.Sent().size() == i * std::string_view(kCommand).size());
    const std::optional<Expected> expected = ModelAnswer(bytes, position, input.size());
    if (!expected) {
      FUZZ_CHECK(result == ar::ImapResult::Failed && socket.State() == ar::SocketState::Closed);
      return 0;
    }
    FUZZ_CHECK(result == expected->result);
    const std::string_view read = bytes.Between(position, expected->end);
    FUZZ_CHECK(tooLarge == (read.size() > limit));
    FUZZ_CHECK(tooLarge ? answer.empty() : answer == read);
    position = expected->end;
  }
  return 0;
}
