#pragma once
// The blocking TCP client socket that every network dialogue of the system runs over:
// plain, or secured with TLS from the moment of connection. The mailbox sessions, the
// SMTP session and the server tests use this interface only; PosixSocket is the real
// connection and MemorySocket stands in for it in tests.
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace ar {

// Every failure of a socket operation (refused or lost connection, time-out, TLS
// failure, a reply that outgrows the read bound) arrives as this error; its what() is
// the description callers write to their trace lines.
class SocketError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class SocketState { Closed, Connecting, Connected, Closing };

enum class SocketSecurity { None, TlsFromConnect };

class Socket {
 public:
  // Time-out of a socket that nobody set one on: a connect, a read or a write that
  // blocks longer fails.
  static constexpr int kDefaultTimeoutMs = 30000;
  // The most a read may gather before its terminator arrives. A line is a command
  // reply; a read to a longer terminator carries whole mailbox answers.
  static constexpr std::size_t kMaxLineBytes = 64 * 1024;
  static constexpr std::size_t kMaxBlockBytes = 256 * 1024 * 1024;

  virtual ~Socket() = default;

  SocketState State() const { return state_; }

  // Set before connecting; there is no upgrade of a plain connection.
  void SetSecurity(SocketSecurity security) { security_ = security; }
  SocketSecurity Security() const { return security_; }

  // Milliseconds; the setting stays on the object until changed.
  void SetTimeoutMs(int ms) { timeoutMs_ = ms; }
  int TimeoutMs() const { return timeoutMs_; }

  virtual void Connect(const std::string& host, int port) = 0;
  // Sends the bytes of the text as they are.
  virtual void Send(std::string_view text) = 0;
  // Up to and including the next CR LF.
  virtual std::string ReadLine() = 0;
  // Up to and including the terminator (for example "LOGIN completed\r\n").
  virtual std::string ReadUntil(std::string_view terminator) = 0;
  // Orderly close; Abort drops the connection at once. Both leave the state Closed.
  virtual void Close() = 0;
  virtual void Abort() = 0;

 protected:
  SocketState state_ = SocketState::Closed;
  SocketSecurity security_ = SocketSecurity::None;
  int timeoutMs_ = kDefaultTimeoutMs;
};

}  // namespace ar
