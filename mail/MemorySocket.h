#pragma once
// A socket without a network, for tests of the sessions: what the client sends is
// recorded, what the "server" says is queued by the test or by a responder that sees
// every send. A read that finds too little waiting fails at once as a time-out would
// (or as a lost connection, once the peer has hung up); nothing ever waits. A stop
// request ends the next operation, as it would end a wait on the network.
#include "mail/Socket.h"

#include <functional>
#include <string>
#include <vector>

namespace ar {

class MemorySocket final : public Socket {
 public:
  void Connect(const std::string& host, int port) override;
  void Send(std::string_view text) override;
  std::string ReadLine() override;
  std::string ReadUntil(std::string_view terminator) override;
  void Close() override;
  void Abort() override;

  // --- the test's side ---
  // Bytes the client will read next.
  void Deliver(std::string_view bytes) { incoming_ += bytes; }
  // Once what was delivered is read, the connection counts as closed by the peer.
  void HangUp() { hungUp_ = true; }
  // The next connect fails with this description.
  void FailNextConnect(std::string description) { connectError_ = std::move(description); }
  // Every connect fails with this description (an unreachable server); empty: none.
  void FailEveryConnect(std::string description) { everyConnectError_ = std::move(description); }
  // Sends after this many more bytes fail as a broken connection.
  void FailSendsAfter(std::size_t bytes) { sendBudget_ = bytes; }

  // Called after every connect and every send; may Deliver replies.
  std::function<void(MemorySocket&)> onConnect;
  std::function<void(MemorySocket&, std::string_view sent)> onSend;

  struct Endpoint {
    std::string host;
    int port;
    SocketSecurity security;
  };
  const std::vector<Endpoint>& Connects() const { return connects_; }
  // Everything sent since the object was made.
  const std::string& Sent() const { return sent_; }
  int Closes() const { return closes_; }
  int Aborts() const { return aborts_; }

 private:
  std::string ReadTo(std::string_view terminator, std::size_t limit);
  void ThrowIfStopped();

  std::string incoming_;
  bool hungUp_ = false;
  std::string connectError_;
  std::string everyConnectError_;
  std::size_t sendBudget_ = static_cast<std::size_t>(-1);
  std::vector<Endpoint> connects_;
  std::string sent_;
  int closes_ = 0;
  int aborts_ = 0;
};

}  // namespace ar
