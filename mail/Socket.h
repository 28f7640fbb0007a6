#pragma once
// The blocking TCP client socket that every network dialogue of the system runs over:
// plain, or secured with TLS from the moment of connection. The mailbox sessions, the
// SMTP session and the server tests use this interface only; PosixSocket is the real
// connection and MemorySocket stands in for it in tests.
#include "mail/StopToken.h"

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

  // Milliseconds; the setting stays on the object until changed. It bounds each of the
  // following as a whole: a connect (each address tried, and the TLS handshake), a Send
  // and a ReadLine, so that a peer that trickles bytes cannot stretch them. A ReadUntil
  // may carry a whole mail message and only fails when the peer is silent that long.
  void SetTimeoutMs(int ms) { timeoutMs_ = ms; }
  int TimeoutMs() const { return timeoutMs_; }

  // With a token, every wait also ends, with a SocketError and the connection dropped,
  // once a stop is requested; null (the default) for none.
  void SetStopToken(const StopToken* token) { stop_ = token; }
  const StopToken* GetStopToken() const { return stop_; }

  // Opens a new connection; one that is still open is dropped first.
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
  const StopToken* stop_ = nullptr;
};

// The description of the error a stop request raises.
inline constexpr const char* kStoppedDescription = "Stopped by request";

// Keeps a stop request from ending the socket's waits while it lives: for the wait on a
// reply that tells whether a message was delivered, which is worth finishing.
class StopShield {
 public:
  explicit StopShield(Socket& socket) : socket_(socket), token_(socket.GetStopToken()) { socket_.SetStopToken(nullptr); }
  ~StopShield() { socket_.SetStopToken(token_); }
  StopShield(const StopShield&) = delete;
  StopShield& operator=(const StopShield&) = delete;

 private:
  Socket& socket_;
  const StopToken* token_;
};

}  // namespace ar
