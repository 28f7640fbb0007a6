#pragma once
// A one-connection line server on a numeric loopback address of either family ("::1",
// "127.0.0.1"), plain or TLS from accept: it greets with "220 ready", answers QUIT with
// "221 bye" and every other line with "250 ok", and keeps what it received. The shared
// FakeServer listens on IPv4 only.
#include "tests/support/TestCa.h"

#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace ar::test {

class LoopbackLineServer {
 public:
  // Nothing when this machine cannot listen on the address (no IPv6 loopback, say).
  static std::unique_ptr<LoopbackLineServer> Listen(const std::string& address,
                                                    std::optional<ServerIdentity> tls = std::nullopt);
  ~LoopbackLineServer();
  LoopbackLineServer(const LoopbackLineServer&) = delete;
  LoopbackLineServer& operator=(const LoopbackLineServer&) = delete;

  int Port() const { return port_; }
  // Waits for the connection to end; what the client sent.
  const std::string& Received();

 private:
  LoopbackLineServer(int listenFd, int port, std::optional<ServerIdentity> tls);
  void Serve();

  int listenFd_;
  int port_;
  std::optional<ServerIdentity> tls_;
  std::string received_;
  std::thread thread_;
};

}  // namespace ar::test
