#pragma once
// An SMTP server on an ephemeral loopback port that accepts every message and counts
// what it received by recipient and subject: the messages a run really handed over.
// It serves one connection at a time, as the processor sends, and copes with a client
// that vanishes mid-session (a killed processor).
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace ar::test {

class CountingSmtpSink {
 public:
  // Called in the server's thread once a message's final "." has arrived and the
  // message is counted, before the reply, with the number counted so far.
  using MessageHook = std::function<void(long long count)>;

  explicit CountingSmtpSink(MessageHook onMessage = {});
  ~CountingSmtpSink();
  CountingSmtpSink(const CountingSmtpSink&) = delete;
  CountingSmtpSink& operator=(const CountingSmtpSink&) = delete;

  // "127.0.0.1:" + port, as a server text.
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

  long long Count() const { return count_.load(); }
  // Messages received, by (recipient, subject).
  std::map<std::pair<std::string, std::string>, int> Counts() const;

 private:
  void Run();
  void Serve(int fd);
  void Record(const std::string& recipient, const std::string& message);

  MessageHook onMessage_;
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<long long> count_{0};
  mutable std::mutex mutex_;
  std::map<std::pair<std::string, std::string>, int> counts_;
  std::thread thread_;
};

}  // namespace ar::test
