#include "mail/SmtpSession.h"

#include "base/Text.h"
#include "mail/Base64.h"
#include "mail/MimeComposer.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <unistd.h>

namespace ar {

namespace {

bool IsContinuation(const std::string& line) { return line.size() >= 4 && line[3] == '-'; }

constexpr const char* kRedacted = "********";
// What the observer hears instead of an authentication payload.
constexpr const char* kHiddenLine = "<HIDDEN>";

// A reply that refused the greeting or the HELO: the dialogue ends, but not for a
// failure of the connection.
class RefusedReply : public SocketError {
 public:
  using SocketError::SocketError;
};

std::string WithoutLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return std::string(line);
}

constexpr std::size_t kBatchBytes = 64 * 1024;

}  // namespace

SmtpSettings SmtpSettingsFromConfiguration(const ConfigurationRow& row) {
  return {row.SmtpServer(), row.SmtpUserName(), row.SmtpPassword(), row.SmtpTls(), row.HeloName()};
}

SmtpEndpoint ParseSmtpServer(const std::string& server, bool tls) {
  return SplitServerText(server, tls ? 465 : 25, 25);
}

std::optional<std::string> ComputerName() {
  char buf[256] = {};
  if (::gethostname(buf, 255) != 0) return std::nullopt;
  buf[255] = '\0';
  std::string name(buf);  // cut at the first NUL
  if (name.empty()) return std::nullopt;
  return name;
}

SmtpSession::SmtpSession(Socket& socket, TraceFunction trace)
    : socket_(socket), trace_(std::move(trace)), computerName_(ComputerName) {}

void SmtpSession::Trace(const std::string& message, bool force) {
  if (trace_) trace_(Redact(message), force);
}

std::string SmtpSession::Redact(std::string_view text) const {
  std::string out(text);
  if (secret_.empty()) return out;
  for (std::size_t at = out.find(secret_); at != std::string::npos; at = out.find(secret_, at + 8))
    out.replace(at, secret_.size(), kRedacted);
  return out;
}

// Every byte the session puts on the wire passes here, in pieces of at most kBatchBytes
// so that the socket's time-out bounds each piece: a server that stops reading ends the
// send, one that reads slowly but steadily does not.
void SmtpSession::Write(std::string_view bytes) {
  if (observer_) {
    pendingSent_ += bytes;
    for (std::size_t lf = pendingSent_.find('\n'); lf != std::string::npos; lf = pendingSent_.find('\n')) {
      const std::string line = WithoutLineEnd(std::string_view(pendingSent_).substr(0, lf));
      pendingSent_.erase(0, lf + 1);
      observer_->Sent(hideSent_ ? kHiddenLine : line);
    }
  }
  socket_.SetTimeoutMs(replyTimeoutMs_);
  while (!bytes.empty()) {
    const std::string_view piece = bytes.substr(0, kBatchBytes);
    socket_.Send(piece);
    bytes.remove_prefix(piece.size());
  }
}

std::string SmtpSession::ReadLine() {
  std::string line = socket_.ReadLine();
  if (observer_) observer_->Received(WithoutLineEnd(line));
  return line;
}

void SmtpSession::Failed(std::string_view description) {
  if (observer_) observer_->Failed(description);
}

std::string SmtpSession::ReadReply(const std::string& prefix, bool traceFirst) {
  using std::chrono::milliseconds;
  const auto deadline = clock_() + milliseconds(replyTimeoutMs_);
  // Each line may only use what is left of the reply's time.
  auto readLine = [&] {
    const long long left = std::chrono::ceil<milliseconds>(deadline - clock_()).count();
    if (left <= 0)
      throw SocketError("Timed out after " + std::to_string(replyTimeoutMs_) + " ms waiting for the whole reply");
    socket_.SetTimeoutMs(static_cast<int>(std::min<long long>(left, replyTimeoutMs_)));
    return ReadLine();
  };
  std::string line = readLine();
  if (traceFirst) Trace(prefix + line);
  for (int lines = 1; IsContinuation(line); ++lines) {
    if (lines >= kMaxReplyLines)
      throw SocketError("The server sent a reply of more than " + std::to_string(kMaxReplyLines) + " lines");
    line = readLine();
    Trace(prefix + line);
  }
  return line;
}

void SmtpSession::ExpectCompleted(const std::string& prefix, bool traceFirst, const char* what) {
  const SmtpReply reply = JudgeReplyLine(ReadReply(prefix, traceFirst));
  if (!reply.Completed()) throw RefusedReply(std::string("The server refused the ") + what + ": " + reply.text);
}

bool SmtpSession::SMTPConnect(const SmtpSettings& settings, bool& authFailed) {
  std::string helo = settings.heloName;
  if (helo.empty()) helo = computerName_ ? computerName_().value_or(fallbackHeloName_) : fallbackHeloName_;
  authFailed = false;
  pendingSent_.clear();
  SmtpEndpoint ep = ParseSmtpServer(settings.server, settings.tls);
  socket_.SetSecurity(settings.tls ? SocketSecurity::TlsFromConnect : SocketSecurity::None);
  // A connection left open by an earlier session is never trusted with this one.
  if (socket_.State() != SocketState::Closed) socket_.Abort();

  try {
    Trace("CONNECT REQUESTED: " + settings.server);
    socket_.SetTimeoutMs(connectTimeoutMs_);
    // A port outside the int range was mapped to 25 above; one outside 1 to 65535 is
    // refused by the socket with its own description.
    socket_.Connect(ep.host, static_cast<int>(ep.port));
    // "554 no service" or "421 too busy" instead of a greeting: no session today.
    ExpectCompleted("CONNECT RESPONSE: ", true, "connection");

    if (!settings.userName.empty()) {
      if (Introduce("EHLO " + helo + "\r\n", Secrecy::None, authFailed)) return true;
      if (Introduce("AUTH LOGIN\r\n", Secrecy::None, authFailed)) return true;
      if (Introduce(Base64_encode(settings.userName) + "\r\n", Secrecy::AuthPayload, authFailed)) return true;
      bool failed = Introduce(Base64_encode(settings.password) + "\r\n", Secrecy::Password, authFailed);
      return failed;
    }
    if (resetAfterRefusedHelo_) return Introduce("HELO " + helo + "\r\n", Secrecy::None, authFailed);

    Trace("SEND HELO");
    Write("HELO " + helo + "\r\n");
    ExpectCompleted("HELO RECEIVE: ", false, "HELO");
    return false;
  } catch (const std::exception& e) {
    secret_.clear();
    hideSent_ = false;
    Trace(std::string("CONNECTION ERROR: ") + e.what(), true);
    if (!dynamic_cast<const RefusedReply*>(&e)) Failed(e.what());
    socket_.Abort();
    return true;
  }
}

// One step of the authenticated introduction: trace, send, judge the reply. On failure
// the socket is closed (an error from the close reaches SMTPConnect's trap).
bool SmtpSession::Introduce(std::string_view command, Secrecy secrecy, bool& authFailed) {
  const bool isPassword = secrecy == Secrecy::Password;
  if (isPassword) secret_ = std::string(command.substr(0, command.size() - 2));
  Trace(std::string(command));
  hideSent_ = secrecy != Secrecy::None;
  bool failed = SMTPSend(command);
  hideSent_ = false;
  bool badReply = !failed && SMTPReceive();
  secret_.clear();
  if (failed || badReply) {
    if (isPassword && badReply) authFailed = true;
    socket_.Close();
    return true;
  }
  return false;
}

bool SmtpSession::SMTPSend(std::string_view text, const std::string& attachmentPath) {
  Trace("SENDING: " + std::string(text));
  try {
    if (!attachmentPath.empty() && !IsTextAttachment(attachmentPath)) {
      std::size_t at = text.find(kAttachmentMarker);
      if (at == std::string_view::npos) return true;
      Write(text.substr(0, at));
      // The lines go out in batches of about 64 KiB: constant memory, few system calls.
      std::string batch;
      batch.reserve(kBatchBytes + 80);
      SendFileBase64(attachmentPath, [&](std::string_view line) {
        batch += line;
        if (batch.size() >= kBatchBytes) {
          Write(batch);
          batch.clear();
        }
      });
      if (!batch.empty()) Write(batch);
      Write(text.substr(at + std::string_view(kAttachmentMarker).size()));
    } else {
      Write(text);
    }
    return false;
  } catch (const std::exception& e) {
    // Part of the text may be on the wire: the dialogue cannot go on.
    Failed(e.what());
    socket_.Abort();
    return true;
  }
}

bool SmtpSession::SMTPReceive() {
  try {
    lastReply_ = JudgeReplyLine(ReadReply("RECEIVE: ", true));
  } catch (const std::exception& e) {
    // No reply, or half of one: whatever the server did with the command is unknown, and
    // a late reply would be taken for the answer to the next one.
    lastReply_ = MissingReply(e.what());
    Trace("RECEIVE FAILED: " + lastReply_.text, true);
    Failed(lastReply_.text);
    socket_.Abort();
    return true;
  }
  if (lastReply_.kind == SmtpReply::Kind::Positive) return false;
  Trace("ERROR RESPONSE: " + lastReply_.text);
  try {
    Write("RSET\r\n");
    ReadLine();
  } catch (const std::exception&) {
    // The verdict stands whatever becomes of the RSET, but the dialogue is over.
    socket_.Abort();
  }
  return true;
}

void SmtpSession::SMTPQuit() {
  if (socket_.State() == SocketState::Closed) return;
  try {
    Write("QUIT\r\n");
    ReadReply("CLOSE RESPONSE: ", true);
    if (socket_.State() == SocketState::Connected) socket_.Close();
  } catch (const std::exception& e) {
    Trace("ERROR CLOSING", true);
    Failed(e.what());
  }
  // Whatever went wrong, the connection does not outlive the session.
  if (socket_.State() != SocketState::Closed) socket_.Abort();
}

}  // namespace ar
