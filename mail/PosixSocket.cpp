#include "mail/PosixSocket.h"

#include "mail/ServerAddress.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ar {

namespace {

std::string OpenSslErrors() {
  std::string text;
  while (unsigned long e = ERR_get_error()) {
    char buf[256];
    ERR_error_string_n(e, buf, sizeof buf);
    if (!text.empty()) text += "; ";
    text += buf;
  }
  return text;
}

// An IPv4 or IPv6 address as text; an IPv6 one may name its zone after "%".
bool IsIpAddress(const std::string& host) {
  in_addr a4;
  return inet_pton(AF_INET, host.c_str(), &a4) == 1 || IsIpv6Literal(host);
}

// The address a certificate must name: the literal without its zone, which only this
// machine knows.
std::string WithoutZone(const std::string& address) { return address.substr(0, address.find('%')); }

// Keeps a TLS write to a peer that has gone from killing the program with SIGPIPE:
// OpenSSL writes without MSG_NOSIGNAL. The signal is blocked in this thread around the
// write, and one the write raised is taken off the pending set before it is unblocked.
class SigpipeGuard {
 public:
  SigpipeGuard() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    pendingBefore_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
  }
  ~SigpipeGuard() {
    if (!pendingBefore_) {
      const timespec zero{0, 0};
      while (sigtimedwait(&pipe_, nullptr, &zero) > 0) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &old_, nullptr);
  }
  SigpipeGuard(const SigpipeGuard&) = delete;
  SigpipeGuard& operator=(const SigpipeGuard&) = delete;

 private:
  sigset_t pipe_;
  sigset_t old_;
  bool pendingBefore_ = false;
};

std::chrono::steady_clock::time_point After(int ms) { return std::chrono::steady_clock::now() + std::chrono::milliseconds(ms); }

enum class Wait { Ready, TimedOut, Stopped };

// Waits on one descriptor until it is ready, the deadline passes or a stop is requested.
Wait PollUntil(int fd, short events, std::chrono::steady_clock::time_point deadline, const StopToken* stop) {
  pollfd p[2] = {{fd, events, 0}, {stop ? stop->WakeFd() : -1, POLLIN, 0}};
  for (;;) {
    if (stop && stop->Requested()) return Wait::Stopped;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    const int r = ::poll(p, 2, static_cast<int>(std::clamp<long long>(left, 0, INT_MAX)));
    if (r > 0) return p[1].revents ? Wait::Stopped : Wait::Ready;
    if (r == 0) return Wait::TimedOut;
    if (errno != EINTR) return Wait::Ready;  // let the following call report the error
  }
}

}  // namespace

TlsOptions TlsOptions::FromEnvironment() {
  TlsOptions o;
  if (const char* v = std::getenv("AUTORESPONDER_TLS_VERIFY"); v && std::string(v) == "0") o.verify = false;
  if (const char* f = std::getenv("AUTORESPONDER_CA_FILE"); f && *f) o.extraCaFile = f;
  return o;
}

PosixSocket::PosixSocket(TlsOptions tls) : tls_(std::move(tls)) {}

PosixSocket::~PosixSocket() { Release(true); }

void PosixSocket::Release(bool hard) {
  if (ssl_) {
    if (!hard) {
      SigpipeGuard guard;
      SSL_shutdown(ssl_);  // one close_notify, no wait for the answer
    }
    SSL_free(ssl_);
    ssl_ = nullptr;
  }
  if (ctx_) {
    SSL_CTX_free(ctx_);
    ctx_ = nullptr;
  }
  if (fd_ >= 0) {
    if (hard) {
      linger l{1, 0};
      ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    }
    ::close(fd_);
    fd_ = -1;
  }
  buffer_.clear();
  state_ = SocketState::Closed;
  ERR_clear_error();
}

void PosixSocket::Lost(const std::string& description) {
  Release(true);
  throw SocketError(description);
}

void PosixSocket::WaitFor(short events, const char* what, Deadline deadline) {
  switch (PollUntil(fd_, events, deadline, stop_)) {
    case Wait::Ready: return;
    case Wait::TimedOut:
      // The connection stays as it is; the caller decides whether to drop it.
      throw SocketError("Timed out after " + std::to_string(timeoutMs_) + " ms " + what + " (" + peer_ + ")");
    case Wait::Stopped: Lost(kStoppedDescription);
  }
}

void PosixSocket::Connect(const std::string& host, int port) {
  if (state_ != SocketState::Closed) Release(true);
  peer_ = host + " port " + std::to_string(port);
  if (port < 1 || port > 65535) throw SocketError("Invalid port number " + std::to_string(port));
  state_ = SocketState::Connecting;

  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  // An address literal is used as it stands, whatever addresses this machine has of its
  // own: AI_ADDRCONFIG would refuse "::1" on a machine with IPv6 on loopback only.
  hints.ai_flags = IsIpAddress(host) ? AI_NUMERICHOST : AI_ADDRCONFIG;
  addrinfo* list = nullptr;
  std::string service = std::to_string(port);
  if (int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &list); rc != 0) {
    state_ = SocketState::Closed;
    throw SocketError("Host not found: " + host + " (" + gai_strerror(rc) + ")");
  }

  std::string lastError = "no address";
  for (addrinfo* ai = list; ai; ai = ai->ai_next) {
    int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
    if (fd < 0) {
      lastError = std::strerror(errno);
      continue;
    }
    int rc = ::connect(fd, ai->ai_addr, ai->ai_addrlen);
    if (rc != 0 && errno == EINPROGRESS) {
      const Wait wait = PollUntil(fd, POLLOUT, After(timeoutMs_), stop_);
      if (wait != Wait::Ready) {
        ::close(fd);
        if (wait == Wait::Stopped) {
          ::freeaddrinfo(list);
          state_ = SocketState::Closed;
          throw SocketError(kStoppedDescription);
        }
        lastError = "Timed out after " + std::to_string(timeoutMs_) + " ms";
        continue;
      }
      int err = 0;
      socklen_t len = sizeof err;
      ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
      rc = err == 0 ? 0 : -1;
      errno = err;
    }
    if (rc != 0) {
      lastError = std::strerror(errno);
      ::close(fd);
      continue;
    }
    fd_ = fd;
    break;
  }
  ::freeaddrinfo(list);
  if (fd_ < 0) {
    state_ = SocketState::Closed;
    throw SocketError("Could not connect to " + peer_ + ": " + lastError);
  }
  int one = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);

  if (security_ == SocketSecurity::TlsFromConnect) {
    try {
      StartTls(host);
    } catch (...) {
      Release(true);
      throw;
    }
  }
  state_ = SocketState::Connected;
}

void PosixSocket::StartTls(const std::string& host) {
  ctx_ = SSL_CTX_new(TLS_client_method());
  if (!ctx_) throw SocketError("TLS set-up failed: " + OpenSslErrors());
  SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION);
  if (tls_.verify) {
    SSL_CTX_set_verify(ctx_, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_default_verify_paths(ctx_);
    if (!tls_.extraCaFile.empty() && SSL_CTX_load_verify_locations(ctx_, tls_.extraCaFile.c_str(), nullptr) != 1)
      throw SocketError("Cannot load the CA file " + tls_.extraCaFile + ": " + OpenSslErrors());
  } else {
    SSL_CTX_set_verify(ctx_, SSL_VERIFY_NONE, nullptr);
  }
  ssl_ = SSL_new(ctx_);
  if (!ssl_ || SSL_set_fd(ssl_, fd_) != 1) throw SocketError("TLS set-up failed: " + OpenSslErrors());
  bool ip = IsIpAddress(host);
  if (!ip) SSL_set_tlsext_host_name(ssl_, host.c_str());
  if (tls_.verify) {
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl_);
    // An address literal must be named among the certificate's IP addresses; a host name
    // among its DNS names.
    int ok = ip ? X509_VERIFY_PARAM_set1_ip_asc(param, WithoutZone(host).c_str())
                : X509_VERIFY_PARAM_set1_host(param, host.c_str(), 0);
    if (ok != 1) throw SocketError("TLS set-up failed for the name " + host);
  }
  const Deadline deadline = After(timeoutMs_);
  for (;;) {
    int rc = SSL_connect(ssl_);
    if (rc == 1) return;
    int err = SSL_get_error(ssl_, rc);
    if (err == SSL_ERROR_WANT_READ) {
      WaitFor(POLLIN, "during the TLS handshake", deadline);
    } else if (err == SSL_ERROR_WANT_WRITE) {
      WaitFor(POLLOUT, "during the TLS handshake", deadline);
    } else {
      std::string text = "TLS handshake with " + peer_ + " failed";
      long verify = SSL_get_verify_result(ssl_);
      if (verify != X509_V_OK) text += ": certificate not trusted (" + std::string(X509_verify_cert_error_string(verify)) + ")";
      std::string detail = OpenSslErrors();
      if (!detail.empty()) text += ": " + detail;
      throw SocketError(text);
    }
  }
}

void PosixSocket::Send(std::string_view text) {
  if (state_ != SocketState::Connected) throw SocketError("Not connected");
  const Deadline deadline = After(timeoutMs_);
  while (!text.empty()) {
    if (ssl_) {
      size_t written = 0;
      int rc = 0;
      {
        SigpipeGuard guard;
        rc = SSL_write_ex(ssl_, text.data(), text.size(), &written);
      }
      if (rc == 1) {
        text.remove_prefix(written);
        continue;
      }
      int err = SSL_get_error(ssl_, rc);
      if (err == SSL_ERROR_WANT_WRITE) WaitFor(POLLOUT, "sending", deadline);
      else if (err == SSL_ERROR_WANT_READ) WaitFor(POLLIN, "sending", deadline);
      else Lost("Connection to " + peer_ + " lost while sending " + OpenSslErrors());
    } else {
      ssize_t n = ::send(fd_, text.data(), text.size(), MSG_NOSIGNAL);
      if (n >= 0) {
        text.remove_prefix(static_cast<size_t>(n));
      } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
        WaitFor(POLLOUT, "sending", deadline);
      } else if (errno != EINTR) {
        Lost("Connection to " + peer_ + " lost while sending: " + std::strerror(errno));
      }
    }
  }
}

void PosixSocket::Fill(Deadline deadline) {
  char chunk[16384];
  for (;;) {
    if (ssl_) {
      size_t got = 0;
      int rc = SSL_read_ex(ssl_, chunk, sizeof chunk, &got);
      if (rc == 1) {
        buffer_.append(chunk, got);
        return;
      }
      int err = SSL_get_error(ssl_, rc);
      if (err == SSL_ERROR_WANT_READ) WaitFor(POLLIN, "waiting for the server", deadline);
      else if (err == SSL_ERROR_WANT_WRITE) WaitFor(POLLOUT, "waiting for the server", deadline);
      else if (err == SSL_ERROR_ZERO_RETURN) Lost("Connection closed by " + peer_);
      else Lost("Connection to " + peer_ + " lost " + OpenSslErrors());
    } else {
      ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
      if (n > 0) {
        buffer_.append(chunk, static_cast<size_t>(n));
        return;
      }
      if (n == 0) Lost("Connection closed by " + peer_);
      if (errno == EAGAIN || errno == EWOULDBLOCK) WaitFor(POLLIN, "waiting for the server", deadline);
      else if (errno != EINTR) Lost("Connection to " + peer_ + " lost: " + std::strerror(errno));
    }
  }
}

std::string PosixSocket::ReadTo(std::string_view terminator, std::size_t limit, bool wholeReadDeadline) {
  if (state_ != SocketState::Connected) throw SocketError("Not connected");
  if (terminator.empty()) throw SocketError("Empty read terminator");
  const Deadline whole = After(timeoutMs_);
  std::size_t from = 0;
  for (;;) {
    std::size_t at = buffer_.find(terminator, from);
    if (at != std::string::npos) {
      std::size_t end = at + terminator.size();
      std::string out = buffer_.substr(0, end);
      buffer_.erase(0, end);
      return out;
    }
    if (buffer_.size() > limit)
      Lost("The server at " + peer_ + " sent more than " + std::to_string(limit) + " bytes without the expected end");
    from = buffer_.size() >= terminator.size() ? buffer_.size() - terminator.size() + 1 : 0;
    Fill(wholeReadDeadline ? whole : After(timeoutMs_));
  }
}

std::string PosixSocket::ReadLine() { return ReadTo("\r\n", kMaxLineBytes, true); }

std::string PosixSocket::ReadUntil(std::string_view terminator) { return ReadTo(terminator, kMaxBlockBytes, false); }

void PosixSocket::Close() {
  if (state_ == SocketState::Closed) return;
  state_ = SocketState::Closing;
  Release(false);
}

void PosixSocket::Abort() { Release(true); }

}  // namespace ar
