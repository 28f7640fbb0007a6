#pragma once
// A small web server on an ephemeral loopback port for the address checks: each request
// is answered by its path. "/ok" gets 200 with a page, "/late" the same after lateMs,
// "/silent" never an answer (the connection stays open until the server stops), and any
// other path 404 with a page.
#include <atomic>
#include <string>
#include <thread>

namespace ar::test {

class LoopbackHttpServer {
 public:
  explicit LoopbackHttpServer(int lateMs = 0);
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  // "http://127.0.0.1:PORT" + path.
  std::string Url(const std::string& path) const;
  // Whether a "/late" request has been answered or given up by the client.
  bool LateOver() const { return lateOver_; }

 private:
  void Run();

  int listenFd_ = -1;
  int port_ = 0;
  int lateMs_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> lateOver_{false};
  std::thread thread_;
};

}  // namespace ar::test
