// The SMTP reply reader and its judgement over any bytes from the server, reply after
// reply until the connection is gone: each verdict agrees with a model. A reply runs
// while a line has "-" as its fourth character (at most kMaxReplyLines lines); its last
// line is judged by the first character after blanks; a reply that is not positive is
// followed by RSET and one line read; a reply that never came drops the connection.
#include "fuzz/support/FuzzSupport.h"
#include "mail/SmtpSession.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace {

using Kind = ar::SmtpReply::Kind;

constexpr int kMaxReplies = 64;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The verdict on a last line as its description says.
void CheckJudgement(const ar::SmtpReply& reply, std::string_view line) {
  std::string text;
  for (char c : line)
    if (c != '\r' && c != '\n') text += c;
  FUZZ_CHECK(reply.text == text);
  const size_t first = text.find_first_not_of(" \t");
  const char c = first == std::string::npos ? '\0' : text[first];
  if (c < '1' || c > '5') {
    FUZZ_CHECK(reply.kind == Kind::Garbled && reply.replyClass == 0 && reply.code == 0);
    return;
  }
  FUZZ_CHECK(reply.kind == (c <= '3' ? Kind::Positive : c == '4' ? Kind::Transient : Kind::Permanent));
  FUZZ_CHECK(reply.replyClass == c);
  const bool coded = first + 2 < text.size() && IsDigit(text[first + 1]) && IsDigit(text[first + 2]);
  FUZZ_CHECK(reply.code == (coded ? std::stoi(text.substr(first, 3)) : 0));
}

// The last line of the next reply, or nothing when it never comes whole.
std::optional<std::string_view> ModelReply(ar::fuzz::ServerLines& lines) {
  std::optional<std::string_view> line = lines.Next();
  for (int read = 1; line && line->size() >= 4 && (*line)[3] == '-'; ++read) {
    if (read >= ar::SmtpSession::kMaxReplyLines) return std::nullopt;
    line = lines.Next();
  }
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input = ar::fuzz::Bytes(data, size);
  CheckJudgement(ar::JudgeReplyLine(input), input);

  ar::MemorySocket socket;
  ar::SmtpSession session(socket, nullptr);
  const auto now = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
  session.SetClock([now] { return now; });
  ar::fuzz::ServeOnce(socket, input);
  ar::fuzz::ServerLines lines(input);
  for (int i = 0; i < kMaxReplies && socket.State() == ar::SocketState::Connected; ++i) {
    const size_t sentBefore = socket.Sent().size();
    const bool failed = session.SMTPReceive();
    const ar::SmtpReply& reply = session.LastReply();
    const std::optional<std::string_view> last = ModelReply(lines);
    if (!last) {
      FUZZ_CHECK(failed && reply.kind == Kind::Missing && !reply.text.empty());
      FUZZ_CHECK(socket.State() == ar::SocketState::Closed && socket.Sent().size() == sentBefore);
      return 0;
    }
    CheckJudgement(reply, *last);
    FUZZ_CHECK(failed == (reply.kind != Kind::Positive));
    if (!failed) {
      FUZZ_CHECK(socket.Sent().size() == sentBefore);
      continue;
    }
    FUZZ_CHECK(std::string_view(socket.Sent()).substr(sentBefore) == "RSET\r\n");
    if (!lines.Next()) FUZZ_CHECK(socket.State() == ar::SocketState::Closed);
  }
  return 0;
}
