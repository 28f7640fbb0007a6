#include "mail/SmtpSession.h"

#include "mail/Base64.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <unistd.h>

namespace ar {

namespace {

bool IsContinuation(const std::string& line) { return line.size() >= 4 && line[3] == '-'; }

std::string TrimSpaces(const std::string& s) {
  std::size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  std::size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

std::string WithoutCrLf(std::string s) {
  s.erase(std::remove_if(s.begin(), s.end(), [](char c) { return c == '\r' || c == '\n'; }), s.end());
  return s;
}

bool IsTextAttachment(const std::string& path) {
  if (path.size() < 4) return false;
  std::string tail = path.substr(path.size() - 4);
  std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
  return tail == ".txt";
}

constexpr const char* kRedacted = "********";

// The text the composer puts where a binary attachment belongs.
constexpr std::string_view kMarker = "*****ATTACHMENT*****";
constexpr std::size_t kBatchBytes = 64 * 1024;

}  // namespace

SmtpEndpoint ParseSmtpServer(const std::string& server, bool tls) {
  std::size_t colon = server.find(':');
  if (colon == std::string::npos) return {server, tls ? 465 : 25};
  SmtpEndpoint ep{server.substr(0, colon), 0};
  std::string rest = server.substr(colon + 1);
  std::size_t i = 0;
  while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t')) ++i;
  bool negative = false;
  if (i < rest.size() && (rest[i] == '+' || rest[i] == '-')) negative = rest[i++] == '-';
  long long value = 0;
  bool tooLarge = false;
  for (; i < rest.size() && std::isdigit(static_cast<unsigned char>(rest[i])); ++i) {
    value = value * 10 + (rest[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) {
      tooLarge = true;
      break;
    }
  }
  if (negative) value = -value;
  if (tooLarge || value > INT_MAX || value < INT_MIN) return {ep.host, 25};
  ep.port = value;
  return ep;
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

// Every byte the session puts on the wire passes here.
void SmtpSession::Write(std::string_view bytes) { socket_.Send(bytes); }

std::string SmtpSession::ReadReply(const std::string& prefix, bool traceFirst) {
  std::string line = socket_.ReadLine();
  if (traceFirst) Trace(prefix + line);
  while (IsContinuation(line)) {
    line = socket_.ReadLine();
    Trace(prefix + line);
  }
  return line;
}

bool SmtpSession::SMTPConnect(const SmtpSettings& settings, bool& authFailed) {
  std::string helo = settings.heloName;
  if (helo.empty()) helo = computerName_ ? computerName_().value_or(std::string(kFallbackHeloName))
                                         : std::string(kFallbackHeloName);
  authFailed = false;
  SmtpEndpoint ep = ParseSmtpServer(settings.server, settings.tls);
  socket_.SetSecurity(settings.tls ? SocketSecurity::TlsFromConnect : SocketSecurity::None);
  if (socket_.State() != SocketState::Closed) return false;

  try {
    Trace("CONNECT REQUESTED: " + settings.server);
    socket_.SetTimeoutMs(connectTimeoutMs_);
    // A port outside the int range was mapped to 25 above; one outside 1 to 65535 is
    // refused by the socket with its own description.
    socket_.Connect(ep.host, static_cast<int>(ep.port));
    socket_.SetTimeoutMs(replyTimeoutMs_);
    ReadReply("CONNECT RESPONSE: ", true);

    if (!settings.userName.empty()) {
      if (Introduce("EHLO " + helo + "\r\n", false, authFailed)) return true;
      if (Introduce("AUTH LOGIN\r\n", false, authFailed)) return true;
      if (Introduce(Base64_encode(settings.userName) + "\r\n", false, authFailed)) return true;
      bool failed = Introduce(Base64_encode(settings.password) + "\r\n", true, authFailed);
      return failed;
    }

    Trace("SEND HELO");
    Write("HELO " + helo + "\r\n");
    ReadReply("HELO RECEIVE: ", false);
    return false;
  } catch (const std::exception& e) {
    secret_.clear();
    Trace(std::string("CONNECTION ERROR: ") + e.what(), true);
    return true;
  }
}

// One step of the authenticated introduction: trace, send, judge the reply. On failure
// the socket is closed (an error from the close reaches SMTPConnect's trap).
bool SmtpSession::Introduce(std::string_view command, bool isPassword, bool& authFailed) {
  if (isPassword) secret_ = std::string(command.substr(0, command.size() - 2));
  Trace(std::string(command));
  bool failed = SMTPSend(command);
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
      std::size_t at = text.find(kMarker);
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
      Write(text.substr(at + kMarker.size()));
    } else {
      Write(text);
    }
    return false;
  } catch (const std::exception&) {
    return true;
  }
}

bool SmtpSession::SMTPReceive() {
  std::string reply;
  try {
    reply = ReadReply("RECEIVE: ", true);
  } catch (const std::exception&) {
    return false;  // a reply that never came counts as good; the next command finds out
  }
  std::string trimmed = TrimSpaces(reply);
  if (!trimmed.empty() && (trimmed[0] == '1' || trimmed[0] == '2' || trimmed[0] == '3')) return false;
  Trace("ERROR RESPONSE: " + WithoutCrLf(reply));
  try {
    Write("RSET\r\n");
    socket_.ReadLine();
  } catch (const std::exception&) {
    // the verdict stands whatever becomes of the RSET
  }
  return true;
}

void SmtpSession::SMTPQuit() {
  if (socket_.State() == SocketState::Closed) return;
  try {
    Write("QUIT\r\n");
    ReadReply("CLOSE RESPONSE: ", true);
    if (socket_.State() == SocketState::Connected) socket_.Close();
  } catch (const std::exception&) {
    Trace("ERROR CLOSING", true);
  }
}

}  // namespace ar
