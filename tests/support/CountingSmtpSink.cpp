#include "tests/support/CountingSmtpSink.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace ar::test {

namespace {

constexpr int kSliceMs = 20;

bool SendAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string Between(const std::string& text, const std::string& open, const std::string& close) {
  const std::size_t at = text.find(open);
  if (at == std::string::npos) return {};
  const std::size_t from = at + open.size();
  const std::size_t to = text.find(close, from);
  return text.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

}  // namespace

CountingSmtpSink::CountingSmtpSink(MessageHook onMessage) : onMessage_(std::move(onMessage)) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::listen(listenFd_, SOMAXCONN) != 0)
    throw std::runtime_error(std::string("counting sink: cannot listen: ") + std::strerror(errno));
  socklen_t len = sizeof a;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len);
  port_ = ntohs(a.sin_port);
  thread_ = std::thread([this] { Run(); });
}

CountingSmtpSink::~CountingSmtpSink() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  ::close(listenFd_);
  // Each connection's thread sees the stop within a slice and ends.
  std::unique_lock<std::mutex> lock(mutex_);
  ended_.wait(lock, [&] { return serving_ == 0; });
}

std::map<std::pair<std::string, std::string>, int> CountingSmtpSink::Counts() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return counts_;
}

std::vector<std::pair<std::string, std::string>> CountingSmtpSink::Received() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

void CountingSmtpSink::Run() {
  while (!stop_) {
    pollfd p{listenFd_, POLLIN, 0};
    if (::poll(&p, 1, kSliceMs) <= 0) continue;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++connections_;
    bool overLimit = false;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      ++serving_;
      const int limit = limit_.load();
      overLimit = limit > 0 && open_ >= limit;
      if (!overLimit && ++open_ > mostOpen_) mostOpen_ = open_;
    }
    std::thread([this, fd, overLimit] {
      if (overLimit) {
        ++refusedOverLimit_;
        SendAll(fd, "421 4.7.0 sink.test too many connections from your host\r\n");
      } else if (!Serve(fd)) {
        Leave();
      }
      ::close(fd);
      const std::lock_guard<std::mutex> lock(mutex_);
      --serving_;
      ended_.notify_all();
    }).detach();
  }
}

void CountingSmtpSink::Record(const std::string& recipient, const std::string& message) {
  const std::string headers = message.substr(0, message.find("\r\n\r\n"));
  const std::string subject = Between("\r\n" + headers + "\r\n", "\r\nSubject: ", "\r\n");
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++counts_[{recipient, subject}];
    received_.emplace_back(recipient, subject);
  }
  const long long count = ++count_;
  if (onMessage_) onMessage_(count);
}

void CountingSmtpSink::Leave() {
  const std::lock_guard<std::mutex> lock(mutex_);
  --open_;
}

bool CountingSmtpSink::Serve(int fd) {
  if (const long long after = failAfter_.load(); after >= 0 && count_.load() >= after) {
    SendAll(fd, "421 4.3.2 sink.test going down\r\n");
    return false;
  }
  if (!SendAll(fd, greeting_ + "\r\n")) return false;
  std::string buffer, recipient;
  bool inData = false;
  char chunk[16384];
  while (!stop_) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, kSliceMs) <= 0) continue;
    const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;  // the client is gone
    buffer.append(chunk, static_cast<std::size_t>(n));
    for (;;) {
      if (inData) {
        const std::size_t end = buffer.find("\r\n.\r\n");
        if (end == std::string::npos) break;
        Record(recipient, buffer.substr(0, end + 2));
        buffer.erase(0, end + 5);
        inData = false;
        if (!SendAll(fd, "250 2.0.0 counted\r\n")) return false;
        continue;
      }
      const std::size_t eol = buffer.find("\r\n");
      if (eol == std::string::npos) break;
      const std::string line = buffer.substr(0, eol);
      buffer.erase(0, eol + 2);
      std::string reply = "250 ok\r\n";
      if (line.starts_with("RCPT TO:")) {
        recipient = Between(line, "<", ">");
        if (const auto refused = refused_.find(recipient); refused != refused_.end()) reply = refused->second + "\r\n";
      } else if (line == "DATA") {
        inData = true;
        reply = "354 go ahead\r\n";
      } else if (line == "QUIT") {
        // The client's session is over: a client that runs several at once may start
        // the next one as soon as this reply is in.
        Leave();
        SendAll(fd, "221 bye\r\n");
        return true;
      }
      if (!SendAll(fd, reply)) return false;
    }
  }
  return false;
}

}  // namespace ar::test
