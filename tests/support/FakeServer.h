#pragma once
// A scripted line server on an ephemeral loopback port for tests of the client sessions
// (SMTP now, POP3 and IMAP4 later). Each accepted connection follows its own script in
// order: what the server sends, and the exact bytes the client must send. The first
// difference ends that connection and is reported by Finish().
#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

typedef struct ssl_ctx_st SSL_CTX;

namespace ar::test {

class Script {
 public:
  enum class Kind { Send, Expect, ExpectClosed, Drop, HandshakeRefused, Trickle };
  struct Step {
    Kind kind;
    std::string bytes;
    int gapMs = 0;
  };

  // The server sends these bytes.
  Script& Send(std::string bytes) { return Add(Kind::Send, std::move(bytes)); }
  // The client's next bytes must be exactly these.
  Script& Expect(std::string bytes) { return Add(Kind::Expect, std::move(bytes)); }
  // The client closes the connection next, sending nothing more.
  Script& ExpectClosed() { return Add(Kind::ExpectClosed, {}); }
  // The server drops the connection at once (the script ends here).
  Script& Drop() { return Add(Kind::Drop, {}); }
  // With TLS: the client must refuse the server's certificate (the handshake fails).
  Script& HandshakeRefused() { return Add(Kind::HandshakeRefused, {}); }
  // The server sends these bytes one at a time, gapMs apart, until they are all sent or
  // the client has gone: a server that keeps a read alive without ever finishing it.
  Script& Trickle(std::string bytes, int gapMs) {
    Add(Kind::Trickle, std::move(bytes));
    steps_.back().gapMs = gapMs;
    return *this;
  }

  // A line server's exchange: expect the command, send the reply.
  Script& Exchange(std::string command, std::string reply) { return Expect(std::move(command)).Send(std::move(reply)); }

  const std::vector<Step>& Steps() const { return steps_; }

 private:
  Script& Add(Kind kind, std::string bytes) {
    steps_.push_back({kind, std::move(bytes)});
    return *this;
  }
  std::vector<Step> steps_;
};

struct FakeServerTls {
  std::string certFile;
  std::string keyFile;
};

class FakeServer {
 public:
  // One script per connection, in the order the client connects. With tls, every
  // connection is TLS from accept.
  explicit FakeServer(std::vector<Script> connections, std::optional<FakeServerTls> tls = std::nullopt);
  ~FakeServer();
  FakeServer(const FakeServer&) = delete;
  FakeServer& operator=(const FakeServer&) = delete;

  int Port() const { return port_; }
  // "127.0.0.1:" + port, as a server text.
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

  // Call when the client is done: waits for the scripts to end and returns every
  // difference found (empty when the client behaved exactly as scripted).
  std::vector<std::string> Finish();
  // Everything each connection received from the client.
  const std::vector<std::string>& Received() const { return received_; }
  // How many connections the server has accepted so far.
  int Accepted() const { return accepted_; }

 private:
  void Run();
  void Serve(int index, int fd);

  std::vector<Script> scripts_;
  SSL_CTX* ctx_ = nullptr;
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> accepted_{0};
  std::thread thread_;
  bool finished_ = false;
  std::vector<std::string> problems_;
  std::vector<std::string> received_;
};

// A loopback port on which nothing listens (a connect there is refused).
int UnusedLoopbackPort();

// The bytes with CR, LF and other control bytes made visible, for failure messages.
std::string Visible(const std::string& bytes);

}  // namespace ar::test
