#include "tests/mail/LoopbackLineServer.h"

#include <netdb.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace ar::test {

namespace {

// Only a broken client keeps the server waiting this long.
constexpr int kPatienceMs = 10000;

}  // namespace

std::unique_ptr<LoopbackLineServer> LoopbackLineServer::Listen(const std::string& address,
                                                               std::optional<ServerIdentity> tls) {
  addrinfo hints{};
  hints.ai_flags = AI_NUMERICHOST | AI_PASSIVE;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(address.c_str(), "0", &hints, &found) != 0) return nullptr;
  const int fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const bool listening =
      fd >= 0 && ::bind(fd, found->ai_addr, found->ai_addrlen) == 0 && ::listen(fd, 1) == 0;
  ::freeaddrinfo(found);
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  if (!listening || ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
    if (fd >= 0) ::close(fd);
    return nullptr;
  }
  const int port = bound.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port)
                                               : ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
  return std::unique_ptr<LoopbackLineServer>(new LoopbackLineServer(fd, port, std::move(tls)));
}

LoopbackLineServer::LoopbackLineServer(int listenFd, int port, std::optional<ServerIdentity> tls)
    : listenFd_(listenFd), port_(port), tls_(std::move(tls)) {
  thread_ = std::thread([this] { Serve(); });
}

LoopbackLineServer::~LoopbackLineServer() {
  if (thread_.joinable()) thread_.join();
  ::close(listenFd_);
}

const std::string& LoopbackLineServer::Received() {
  if (thread_.joinable()) thread_.join();
  return received_;
}

void LoopbackLineServer::Serve() {
  pollfd p{listenFd_, POLLIN, 0};
  if (::poll(&p, 1, kPatienceMs) != 1) return;
  const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return;
  const timeval patience{kPatienceMs / 1000, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
  SSL_CTX* ctx = nullptr;
  SSL* ssl = nullptr;
  if (tls_) {
    ctx = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate_chain_file(ctx, tls_->certFile.c_str());
    SSL_CTX_use_PrivateKey_file(ctx, tls_->keyFile.c_str(), SSL_FILETYPE_PEM);
    ssl = SSL_new(ctx);
    SSL_set_fd(ssl, fd);
  }
  auto write = [&](const std::string& text) {
    return ssl ? SSL_write(ssl, text.data(), static_cast<int>(text.size())) > 0
               : ::send(fd, text.data(), text.size(), MSG_NOSIGNAL) > 0;
  };
  if (!ssl || SSL_accept(ssl) == 1) {
    std::string pending;
    bool open = write("220 ready\r\n");
    while (open) {
      char chunk[4096];
      const int got = ssl ? SSL_read(ssl, chunk, sizeof chunk) : static_cast<int>(::recv(fd, chunk, sizeof chunk, 0));
      if (got <= 0) break;
      received_.append(chunk, static_cast<std::size_t>(got));
      pending.append(chunk, static_cast<std::size_t>(got));
      for (std::size_t end; open && (end = pending.find("\r\n")) != std::string::npos;) {
        const bool quit = pending.compare(0, end, "QUIT") == 0;
        pending.erase(0, end + 2);
        open = write(quit ? "221 bye\r\n" : "250 ok\r\n");
      }
    }
  }
  if (ssl) SSL_free(ssl);
  if (ctx) SSL_CTX_free(ctx);
  ::close(fd);
}

}  // namespace ar::test
