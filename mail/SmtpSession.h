#pragma once
// The SMTP client that every outgoing mail passes through: a line dialogue over one
// socket, plain or TLS from connect, made of four operations. One session carries one
// message: the caller connects, runs one mail transaction (MAIL FROM, RCPT TO, DATA and
// the message, each command sent with SMTPSend and answered through SMTPReceive) and
// quits. The server is always the configured one.
//
// Results are booleans that are true on failure, as everywhere in the mail code.
#include "mail/ServerAddress.h"
#include "mail/Socket.h"
#include "store/Connection.h"

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
SmtpSettings SmtpSettingsFromConfiguration(const RowSet& row);

// Host and port of a server text: no ":" gives port 465 with TLS and 25 without; after
// the first ":" the leading number is the port (0 when there is none), and 25 when the
// number does not fit a 32-bit integer.
using SmtpEndpoint = ServerEndpoint;
SmtpEndpoint ParseSmtpServer(const std::string& server, bool tls);

// The machine's name, or nothing when it cannot be read or is empty.
std::optional<std::string> ComputerName();

class SmtpSession {
 public:
  // Time-outs the session sets on its socket: the connect (TLS handshake included) and
  // every read, so that a silent server ends the session with an error.
  static constexpr int kConnectTimeoutMs = 30000;
  static constexpr int kReplyTimeoutMs = 120000;

  SmtpSession(Socket& socket, TraceFunction trace);

  // Opens the connection, reads the greeting and introduces the client (HELO, or EHLO and
  // AUTH LOGIN when a user name is given). authFailed is set when the server refused the
  // password. An open connection is used as it stands.
  bool SMTPConnect(const SmtpSettings& settings, bool& authFailed);
  // Sends one command or the whole message text; with a non-text attachment path the
  // attachment marker in the text is replaced by the file's base64 lines.
  bool SMTPSend(std::string_view text, const std::string& attachmentPath = {});
  // Reads one reply (continuation lines included) and judges it; a bad reply is followed
  // by RSET.
  bool SMTPReceive();
  // QUIT and close, unless the socket is closed already.
  void SMTPQuit();

  // For tests and callers with their own needs.
  void SetTimeouts(int connectMs, int replyMs) {
    connectTimeoutMs_ = connectMs;
    replyTimeoutMs_ = replyMs;
  }
  void SetComputerNameSource(std::function<std::optional<std::string>()> source) {
    computerName_ = std::move(source);
  }

 private:
  bool Introduce(std::string_view command, bool isPassword, bool& authFailed);
  // Reads one line, and the following ones while the line read has "-" as its fourth
  // character; each line read is traced with the prefix (the first one too when
  // traceFirst). Returns the last line.
  std::string ReadReply(const std::string& prefix, bool traceFirst);
  void Write(std::string_view bytes);
  void Trace(const std::string& message, bool force = false);
  std::string Redact(std::string_view text) const;

  Socket& socket_;
  TraceFunction trace_;
  std::function<std::optional<std::string>()> computerName_;
  int connectTimeoutMs_ = kConnectTimeoutMs;
  int replyTimeoutMs_ = kReplyTimeoutMs;
  std::string secret_;  // the password line of the running introduction, never traced
};

}  // namespace ar
