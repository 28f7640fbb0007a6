#pragma once
// An SMTP server on an ephemeral loopback port that accepts every message and counts
// what it received by recipient and subject: the messages a run really handed over.
// Every connection is served on a thread of its own, so that a client may run several
// sessions at once; the server notes how many were open at once, and copes with a
// client that vanishes mid-session (a killed processor).
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace ar::test {

class CountingSmtpSink {
 public:
  // Called in the connection's thread once a message's final "." has arrived and the
  // message is counted, before the reply, with the number counted so far. Several
  // connections may call it at once.
  using MessageHook = std::function<void(long long count)>;

  explicit CountingSmtpSink(MessageHook onMessage = {});
  ~CountingSmtpSink();
  CountingSmtpSink(const CountingSmtpSink&) = delete;
  CountingSmtpSink& operator=(const CountingSmtpSink&) = delete;

  // "127.0.0.1:" + port, as a server text.
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

  // Set before the client connects: the greeting line (a refusing one fails every
  // session), and the reply to RCPT TO for an address (a 550 or a 451 line).
  void SetGreeting(std::string line) { greeting_ = std::move(line); }
  void RefuseRecipient(const std::string& address, std::string reply) { refused_[address] = std::move(reply); }
  // From the moment `count` messages are counted, every new session is greeted with a
  // 421 and closed (a relay going down); sessions open by then go on as before.
  void FailNewSessionsAfter(long long count) { failAfter_ = count; }
  // A connection made while `sessions` are open is greeted with a 421 and closed, as a
  // relay that limits the connections of one client does.
  void LimitSessionsAtOnce(int sessions) { limit_ = sessions; }
  int RefusedOverLimit() const { return refusedOverLimit_.load(); }

  long long Count() const { return count_.load(); }
  // Messages received, by (recipient, subject).
  std::map<std::pair<std::string, std::string>, int> Counts() const;
  // The same, in the order they were counted.
  std::vector<std::pair<std::string, std::string>> Received() const;
  // Connections accepted, and the most sessions open at the same time (a session is
  // open from its connection until its QUIT, or its end without one).
  int Connections() const { return connections_.load(); }
  int MostOpenAtOnce() const { return mostOpen_.load(); }

 private:
  void Run();
  // True when the session ended with QUIT.
  bool Serve(int fd);
  void Leave();
  void Record(const std::string& recipient, const std::string& message);

  MessageHook onMessage_;
  std::string greeting_ = "220 sink.test ESMTP";
  std::map<std::string, std::string> refused_;
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<long long> count_{0};
  std::atomic<long long> failAfter_{-1};
  std::atomic<int> limit_{0};
  std::atomic<int> refusedOverLimit_{0};
  std::atomic<int> connections_{0};
  std::atomic<int> mostOpen_{0};
  mutable std::mutex mutex_;
  std::condition_variable ended_;
  int open_ = 0;     // sessions open
  int serving_ = 0;  // connection threads still running
  std::map<std::pair<std::string, std::string>, int> counts_;
  std::vector<std::pair<std::string, std::string>> received_;
  std::thread thread_;
};

}  // namespace ar::test
