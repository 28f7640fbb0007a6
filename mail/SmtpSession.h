#pragma once
// The SMTP client that every outgoing mail passes through: a line dialogue over one
// socket, plain or TLS from connect, made of four operations. One session carries one
// message: the caller connects, runs one mail transaction (MAIL FROM, RCPT TO, DATA and
// the message, each command sent with SMTPSend and answered through SMTPReceive) and
// quits. The server is always the configured one.
//
// Results are booleans that are true on failure, as everywhere in the mail code; the
// verdict on the last reply (LastReply) tells a caller why.
//
// A connection is never used for a second session: SMTPConnect always opens a new one,
// and any failure that leaves the dialogue in doubt (a reply that never came, a send or
// a close that failed) drops the connection at once.
#include "mail/DialogueObserver.h"
#include "mail/ServerAddress.h"
#include "mail/SmtpReply.h"
#include "mail/Socket.h"
#include "mail/Timeouts.h"
#include "store/ConfigurationRow.h"
#include "store/Connection.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ar {

// Where trace lines go: the processor passes TracePop, the control program TraceLog.
using TraceFunction = std::function<void(const std::string& message, bool force)>;

// Used when neither the configuration nor the machine gives a HELO name.
inline constexpr std::string_view kFallbackHeloName = "AUTORESPONDER";

// The server settings of a session, as read from the configuration row.
struct SmtpSettings {
  std::string server;  // host, or host ":" port
  std::string userName;  // empty: no authentication
  std::string password;
  bool tls = false;
  std::string heloName;  // empty: the computer's name
};

// The SMTP settings of the configuration row (tblConfiguration); Null reads as empty or off.
SmtpSettings SmtpSettingsFromConfiguration(const ConfigurationRow& row);

// Host and port of a server text: no ":" gives port 465 with TLS and 25 without; after
// the first ":" the leading number is the port (0 when there is none), and 25 when the
// number does not fit a 32-bit integer.
using SmtpEndpoint = ServerEndpoint;
SmtpEndpoint ParseSmtpServer(const std::string& server, bool tls);

// The machine's name, or nothing when it cannot be read or is empty.
std::optional<std::string> ComputerName();

class SmtpSession {
 public:
  // Time-outs the session sets on its socket: the connect (TLS handshake included), and
  // each reply as a whole (every line of it), so that a silent server, or one that
  // trickles its bytes, ends the session with an error.
  static constexpr int kConnectTimeoutMs = kSmtpConnectTimeoutMs;
  static constexpr int kReplyTimeoutMs = kSmtpReplyTimeoutMs;
  // A reply of more lines is refused as an error (a sane EHLO reply has a dozen).
  static constexpr int kMaxReplyLines = 1000;

  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  SmtpSession(Socket& socket, TraceFunction trace);

  // Opens a new connection (one still open on the socket is dropped first), reads the
  // greeting and introduces the client (HELO, or EHLO and AUTH LOGIN when a user name is
  // given). A greeting or a HELO reply other than 2xx is a failure. authFailed is set when
  // the server refused the password. On failure the connection is dropped.
  bool SMTPConnect(const SmtpSettings& settings, bool& authFailed);
  // Sends one command or the whole message text; with a non-text attachment path the
  // attachment marker in the text is replaced by the file's base64 lines.
  bool SMTPSend(std::string_view text, const std::string& attachmentPath = {});
  // Reads one reply (continuation lines included) and judges it: true unless it is
  // positive (1xx, 2xx, 3xx). A refusal is followed by RSET; a reply that never came (lost
  // connection, time-out) drops the connection.
  bool SMTPReceive();
  // QUIT and close, unless the socket is closed already; a failure drops the connection.
  void SMTPQuit();

  // The verdict on the last reply SMTPReceive read.
  const SmtpReply& LastReply() const { return lastReply_; }

  // For tests and callers with their own needs.
  void SetTimeouts(int connectMs, int replyMs) {
    connectTimeoutMs_ = connectMs;
    replyTimeoutMs_ = replyMs;
  }
  void SetComputerNameSource(std::function<std::optional<std::string>()> source) {
    computerName_ = std::move(source);
  }
  // The clock that reply deadlines are measured on (the steady clock by default).
  void SetClock(Clock clock) { clock_ = std::move(clock); }
  // The HELO name when neither the settings nor the machine give one.
  void SetFallbackHeloName(std::string name) { fallbackHeloName_ = std::move(name); }
  // Whether a refused HELO is answered as a refused EHLO is (RSET, then an orderly close)
  // rather than by dropping the connection; the reply is then judged as any command's.
  void SetResetAfterRefusedHelo(bool reset) { resetAfterRefusedHelo_ = reset; }
  // Hears every line sent and received from now on (null: none); it must outlive its use.
  void SetObserver(DialogueObserver* observer) { observer_ = observer; }

 private:
  // How a command of the introduction may be shown: a password is hidden from the trace,
  // and every authentication payload (user name and password) from the observer.
  enum class Secrecy { None, AuthPayload, Password };
  bool Introduce(std::string_view command, Secrecy secrecy, bool& authFailed);
  // Every line the session reads passes here, and on to the observer.
  std::string ReadLine();
  // The dialogue broke off: the observer hears why.
  void Failed(std::string_view description);
  // Reads one line, and the following ones while the line read has "-" as its fourth
  // character; each line read is traced with the prefix (the first one too when
  // traceFirst). Returns the last line. The whole reply must arrive within the reply
  // time-out; a SocketError says why it did not.
  std::string ReadReply(const std::string& prefix, bool traceFirst);
  // Reads the greeting or the HELO reply and throws unless it is 2xx.
  void ExpectCompleted(const std::string& prefix, bool traceFirst, const char* what);
  // Every byte the session sends passes here; the observer hears each whole line.
  void Write(std::string_view bytes);
  void Trace(const std::string& message, bool force = false);
  std::string Redact(std::string_view text) const;

  Socket& socket_;
  TraceFunction trace_;
  std::function<std::optional<std::string>()> computerName_;
  int connectTimeoutMs_ = kConnectTimeoutMs;
  int replyTimeoutMs_ = kReplyTimeoutMs;
  Clock clock_ = [] { return std::chrono::steady_clock::now(); };
  SmtpReply lastReply_;
  std::string secret_;  // the password line of the running introduction, never traced
  std::string fallbackHeloName_{kFallbackHeloName};
  bool resetAfterRefusedHelo_ = false;
  DialogueObserver* observer_ = nullptr;
  bool hideSent_ = false;    // the lines being sent are an authentication payload
  std::string pendingSent_;  // the start of a line not yet sent whole, for the observer
};

}  // namespace ar
