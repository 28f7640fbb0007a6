#include "tests/support/LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace ar::test {
namespace {

struct Client {
  int fd = -1;
  std::string request{};
  bool answered = false;
  std::chrono::steady_clock::time_point due{};  // when a late answer goes
  std::string answer{};
  bool late = false;
};

std::string Answer(int status, const char* reason) {
  const std::string page = "<html><body>" + std::to_string(status) + "</body></html>";
  return "HTTP/1.1 " + std::to_string(status) + " " + reason +
         "\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: " + std::to_string(page.size()) +
         "\r\n\r\n" + page;
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer(int lateMs) : lateMs_(lateMs) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      ::listen(listenFd_, 16) != 0 || ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
    throw std::runtime_error("cannot listen on a loopback port");
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Run(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  stop_ = true;
  thread_.join();
  ::close(listenFd_);
}

std::string LoopbackHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void LoopbackHttpServer::Run() {
  std::vector<Client> clients;
  while (!stop_) {
    std::vector<pollfd> fds{{listenFd_, POLLIN, 0}};
    for (const Client& c : clients) fds.push_back({c.fd, POLLIN, 0});
    ::poll(fds.data(), fds.size(), 20);
    const auto now = std::chrono::steady_clock::now();
    // The clients polled above; one accepted below waits for the next round.
    for (std::size_t i = 0; i + 1 < fds.size(); ++i) {
      Client& c = clients[i];
      bool closed = false;
      if (fds[i + 1].revents & (POLLIN | POLLHUP | POLLERR)) {
        char buffer[4096];
        const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
        if (n <= 0) closed = true;
        else if (c.request.size() < 65536) c.request.append(buffer, static_cast<std::size_t>(n));
      }
      if (!closed && !c.answered && c.answer.empty() && c.request.find("\r\n\r\n") != std::string::npos) {
        const std::size_t start = c.request.find(' ') + 1;
        const std::string path = c.request.substr(start, c.request.find(' ', start) - start);
        if (path == "/silent") {
          c.answered = true;  // and never a byte
        } else {
          c.answer = path == "/ok" || path == "/late" ? Answer(200, "OK") : Answer(404, "Not Found");
          c.late = path == "/late";
          c.due = c.late ? now + std::chrono::milliseconds(lateMs_) : now;
        }
      }
      if (!closed && !c.answer.empty() && now >= c.due) {
        (void)::send(c.fd, c.answer.data(), c.answer.size(), MSG_NOSIGNAL);
        c.answer.clear();
        c.answered = true;
        closed = true;
      }
      if (closed) {
        if (c.late) lateOver_ = true;
        ::close(c.fd);
        clients.erase(clients.begin() + static_cast<std::ptrdiff_t>(i));
        fds.erase(fds.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        --i;
      }
    }
    if (fds[0].revents & POLLIN) {
      const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (fd >= 0) clients.push_back(Client{.fd = fd});
    }
  }
  for (const Client& c : clients) ::close(c.fd);
}

}  // namespace ar::test
