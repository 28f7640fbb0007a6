#include "tests/support/FakeServer.h"

#include <mutex>
#include <set>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace ar::test {

namespace {

// How long the server waits for a client that is still working. Only a broken client
// ever reaches it; scripted exchanges answer in milliseconds.
constexpr auto kPatience = std::chrono::seconds(10);
constexpr int kSliceMs = 20;

std::string SslErrors() {
  std::string text;
  while (unsigned long e = ERR_get_error()) {
    char buf[256];
    ERR_error_string_n(e, buf, sizeof buf);
    text += (text.empty() ? "" : "; ") + std::string(buf);
  }
  return text;
}

int LoopbackListener(int& port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("fake server: socket failed");
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 8) != 0) {
    ::close(fd);
    throw std::runtime_error(std::string("fake server: bind failed: ") + std::strerror(errno));
  }
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  port = ntohs(a.sin_port);
  return fd;
}

// One accepted connection, plain or TLS.
class Peer {
 public:
  Peer(int fd, SSL* ssl, const std::atomic<bool>& stop) : fd_(fd), ssl_(ssl), stop_(stop) {}
  ~Peer() {
    if (ssl_) SSL_free(ssl_);
    if (fd_ >= 0) ::close(fd_);
  }

  enum class Got { Data, Eof, Silent };

  // Waits for bytes from the client and appends them to out.
  Got ReadSome(std::string& out) {
    auto deadline = std::chrono::steady_clock::now() + kPatience;
    for (;;) {
      bool ready = ssl_ && SSL_pending(ssl_) > 0;
      if (!ready) {
        pollfd p{fd_, POLLIN, 0};
        int r = ::poll(&p, 1, kSliceMs);
        ready = r > 0;
      }
      if (ready) {
        char buf[8192];
        if (ssl_) {
          size_t n = 0;
          if (SSL_read_ex(ssl_, buf, sizeof buf, &n) == 1) {
            out.append(buf, n);
            return Got::Data;
          }
          int err = SSL_get_error(ssl_, 0);
          if (err == SSL_ERROR_WANT_READ) continue;
          ERR_clear_error();
          return Got::Eof;
        }
        ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
        if (n > 0) {
          out.append(buf, static_cast<size_t>(n));
          return Got::Data;
        }
        if (n < 0 && errno == EINTR) continue;
        return Got::Eof;
      }
      if (stop_ || std::chrono::steady_clock::now() > deadline) return Got::Silent;
    }
  }

  bool Write(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      if (ssl_) {
        size_t n = 0;
        if (SSL_write_ex(ssl_, bytes.data() + done, bytes.size() - done, &n) != 1) return false;
        done += n;
      } else {
        ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
      }
    }
    return true;
  }

  // Waits up to ms for the client to close; true when it has (or sent something).
  bool ClientActiveWithin(int ms) {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
  }

  void CloseOrderly() {
    if (ssl_) SSL_shutdown(ssl_);
    ::shutdown(fd_, SHUT_WR);
  }

 private:
  int fd_;
  SSL* ssl_;
  const std::atomic<bool>& stop_;
};

}  // namespace

std::string Visible(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c < 32 || c == 127) {
      char b[8];
      std::snprintf(b, sizeof b, "\\x%02x", c);
      out += b;
    } else out += static_cast<char>(c);
  }
  return out;
}

int UnusedLoopbackPort() {
  // The kernel may hand a port just closed out again: a server given two ports in a row
  // must not get the same one twice.
  static std::mutex mutex;
  static std::set<int> handedOut;
  const std::lock_guard<std::mutex> lock(mutex);
  for (;;) {
    int port = 0;
    int fd = LoopbackListener(port);
    ::close(fd);  // nothing listens there any more
    if (handedOut.insert(port).second) return port;
  }
}

FakeServer::FakeServer(std::vector<Script> connections, std::optional<FakeServerTls> tls)
    : scripts_(std::move(connections)), received_(scripts_.size()) {
  if (tls) {
    ctx_ = SSL_CTX_new(TLS_server_method());
    if (!ctx_ || SSL_CTX_use_certificate_chain_file(ctx_, tls->certFile.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(ctx_, tls->keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
      std::string e = SslErrors();
      if (ctx_) SSL_CTX_free(ctx_);
      throw std::runtime_error("fake server: TLS set-up failed: " + e);
    }
  }
  listenFd_ = LoopbackListener(port_);
  thread_ = std::thread([this] { Run(); });
}

FakeServer::~FakeServer() {
  Finish();
  if (ctx_) SSL_CTX_free(ctx_);
}

std::vector<std::string> FakeServer::Finish() {
  if (!finished_) {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listenFd_ >= 0) ::close(listenFd_);
    listenFd_ = -1;
    finished_ = true;
  }
  return problems_;
}

void FakeServer::Run() {
  for (std::size_t i = 0; i < scripts_.size(); ++i) {
    auto deadline = std::chrono::steady_clock::now() + kPatience;
    int fd = -1;
    while (fd < 0) {
      pollfd p{listenFd_, POLLIN, 0};
      if (::poll(&p, 1, kSliceMs) > 0) fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0 && (stop_ || std::chrono::steady_clock::now() > deadline)) break;
    }
    if (fd < 0) {
      problems_.push_back("connection " + std::to_string(i + 1) + ": the client never connected");
      return;
    }
    ++accepted_;
    Serve(static_cast<int>(i), fd);
  }
}

void FakeServer::Serve(int index, int fd) {
  const auto& steps = scripts_[index].Steps();
  std::string where = "connection " + std::to_string(index + 1);
  auto problem = [&](std::size_t step, const std::string& text) {
    problems_.push_back(where + " step " + std::to_string(step + 1) + ": " + text);
  };

  SSL* ssl = nullptr;
  std::size_t first = 0;
  if (ctx_) {
    timeval tv{static_cast<time_t>(kPatience.count()), 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ssl = SSL_new(ctx_);
    SSL_set_fd(ssl, fd);
    bool refusedExpected = !steps.empty() && steps[0].kind == Script::Kind::HandshakeRefused;
    bool ok = SSL_accept(ssl) == 1;
    std::string errors = SslErrors();
    if (refusedExpected || !ok) {
      if (refusedExpected && ok) problem(0, "the client accepted the certificate");
      if (!refusedExpected) problem(0, "TLS handshake failed: " + errors);
      SSL_free(ssl);
      ::close(fd);
      return;
    }
  }
  Peer peer(fd, ssl, stop_);
  std::string pending;  // bytes read beyond the last expectation
  std::string& received = received_[index];

  for (std::size_t s = first; s < steps.size(); ++s) {
    const Script::Step& step = steps[s];
    switch (step.kind) {
      case Script::Kind::Send:
        if (!peer.Write(step.bytes)) {
          problem(s, "could not send \"" + Visible(step.bytes) + "\": the client is gone");
          return;
        }
        break;
      case Script::Kind::Expect: {
        while (pending.size() < step.bytes.size()) {
          if (step.bytes.compare(0, pending.size(), pending) != 0) break;
          std::size_t before = pending.size();
          Peer::Got got = peer.ReadSome(pending);
          received.append(pending, before, std::string::npos);
          if (got != Peer::Got::Data) break;
        }
        std::string mine = pending.substr(0, step.bytes.size());
        if (mine != step.bytes) {
          problem(s, "expected \"" + Visible(step.bytes) + "\", got \"" + Visible(pending) + "\"");
          return;
        }
        pending.erase(0, step.bytes.size());
        break;
      }
      case Script::Kind::ExpectClosed: {
        if (!pending.empty()) {
          problem(s, "expected the client to close, got \"" + Visible(pending) + "\"");
          return;
        }
        std::string more;
        Peer::Got got = peer.ReadSome(more);
        received += more;
        if (got == Peer::Got::Data) problem(s, "expected the client to close, got \"" + Visible(more) + "\"");
        else if (got == Peer::Got::Silent) problem(s, "the client did not close the connection");
        return;
      }
      case Script::Kind::Trickle:
        for (char c : step.bytes) {
          if (!peer.Write(std::string(1, c)) || peer.ClientActiveWithin(step.gapMs)) return;
          if (stop_) return;
        }
        break;
      case Script::Kind::Drop:
        return;  // the Peer's destructor closes the descriptor without a TLS close
      case Script::Kind::HandshakeRefused:
        problem(s, "a handshake refusal can only be the first step of a TLS script");
        return;
    }
  }
  peer.CloseOrderly();
  // Let the client read to the end before the descriptor goes.
  std::string rest;
  if (peer.ReadSome(rest) == Peer::Got::Data) {
    received += rest;
    problems_.push_back(where + ": unexpected bytes after the script: \"" + Visible(rest) + "\"");
  }
}

}  // namespace ar::test
