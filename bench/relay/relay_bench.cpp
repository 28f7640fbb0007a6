// Sending through a distant relay: a processing run of the real ostrel over N due
// subscribers against a sink on loopback that waits a round-trip delay before every reply
// it sends (greeting included), with 1, 4, 16 and 64 SMTP sessions at once. Prints
// messages per second, the gain over one session, Postfix's smtp-source sending as many
// messages of the same size with the same number of sessions (-s) to the same sink, and
// ostrel's peak resident memory.
//
//   relay_bench [due=10000] [delay ms=20] [sessions ...]   (default sessions: 1 4 16 64)
//
// At 20 ms a reply a message costs seven round trips (greeting, HELO, MAIL, RCPT, DATA,
// the message, QUIT), so one session sends about seven messages a second: the rows of one
// session take the longest (10000 messages: about 25 minutes each).
#include "bench/support/BenchOstrel.h"
#include "store/DatabaseFiles.h"
#include "store/Schema.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// An SMTP server that accepts everything and answers each command (and the greeting, and
// each message's final ".") only after the delay, as a relay that far away would seem.
// One thread a connection: the delay of one session does not hold up another.
class DelayingSink {
 public:
  explicit DelayingSink(std::chrono::milliseconds delay) : delay_(delay) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd_, SOMAXCONN) != 0) {
      std::perror("relay_bench: listen");
      std::exit(1);
    }
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    accepting_ = std::thread([this] { Accept(); });
  }
  ~DelayingSink() {
    stop_ = true;
    accepting_.join();
    ::close(fd_);
    std::unique_lock<std::mutex> lock(mutex_);
    ended_.wait(lock, [&] { return serving_ == 0; });
  }
  int Port() const { return port_; }
  long long Messages() const { return messages_; }

 private:
  void Accept() {
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        ++serving_;
      }
      std::thread([this, fd] {
        Serve(fd);
        ::close(fd);
        const std::lock_guard<std::mutex> lock(mutex_);
        --serving_;
        ended_.notify_all();
      }).detach();
    }
  }
  bool Reply(int fd, const char* line) {
    std::this_thread::sleep_for(delay_);
    const std::size_t size = std::strlen(line);
    return ::send(fd, line, size, MSG_NOSIGNAL) == static_cast<ssize_t>(size);
  }
  void Serve(int fd) {
    if (!Reply(fd, "220 relay.bench ESMTP\r\n")) return;
    std::string buffer;
    bool inData = false;
    char chunk[65536];
    while (!stop_) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;
      buffer.append(chunk, static_cast<std::size_t>(n));
      for (;;) {
        if (inData) {
          const std::size_t end = buffer.find("\r\n.\r\n");
          if (end == std::string::npos) {
            // Keep only what may still hold the start of the end marker.
            if (buffer.size() > 4) buffer.erase(0, buffer.size() - 4);
            break;
          }
          buffer.erase(0, end + 5);
          inData = false;
          ++messages_;
          if (!Reply(fd, "250 2.0.0 queued\r\n")) return;
          continue;
        }
        const std::size_t eol = buffer.find("\r\n");
        if (eol == std::string::npos) break;
        const std::string line = buffer.substr(0, eol);
        buffer.erase(0, eol + 2);
        if (line == "DATA") {
          inData = true;
          if (!Reply(fd, "354 go ahead\r\n")) return;
        } else if (line == "QUIT") {
          Reply(fd, "221 bye\r\n");
          return;
        } else if (!Reply(fd, "250 ok\r\n")) {
          return;
        }
      }
    }
  }

  const std::chrono::milliseconds delay_;
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<long long> messages_{0};
  std::thread accepting_;
  std::mutex mutex_;
  std::condition_variable ended_;
  int serving_ = 0;
};

constexpr const char* kParagraph =
    "Thank you for subscribing. This is one of our follow-up messages, with a few\r\n"
    "paragraphs of ordinary text so that the message has a typical size.\r\n";

// A data folder with one autoresponder whose immediate event is due to n subscribers.
std::string MakeFolder(long long n, int sessions, int port, const std::string& body) {
  const std::string folder = bench::MakeOstrelFolder("relay-bench");
  ar::DatabaseFiles files;
  files.Open(folder);
  const bench::WelcomeList list = bench::AddWelcomeList(files, port, true, body);
  files.config.Execute("update tblConfiguration set SMTPSessions=?", {sessions});
  bench::AddSubscribers(files.subscribers, list.autoresponder, n);
  return folder;
}

}  // namespace

int main(int argc, char** argv) {
  const long long due = argc > 1 ? std::atoll(argv[1]) : 10000;
  const int delayMs = argc > 2 ? std::atoi(argv[2]) : 20;
  std::vector<int> sessionCounts;
  for (int i = 3; i < argc; ++i) sessionCounts.push_back(std::atoi(argv[i]));
  if (sessionCounts.empty()) sessionCounts = {1, 4, 16, 64};
  if (::access("/usr/sbin/smtp-source", X_OK) != 0) {
    std::fprintf(stderr, "smtp-source (package postfix) is needed\n");
    return 1;
  }
  std::signal(SIGPIPE, SIG_IGN);

  std::string body;
  for (int i = 0; i < 20; ++i) body += kParagraph;
  const std::size_t messageBytes = bench::MessageBytes(body, "");

  DelayingSink sink{std::chrono::milliseconds(delayMs)};
  std::printf("%lld due subscribers, %d ms before every reply, messages of %zu bytes\n", due, delayMs, messageBytes);
  std::printf("%9s %8s %13s %9s %13s %13s %14s\n", "sessions", "sent", "ostrel msg/s", "gain", "source msg/s",
              "ostrel/source", "peak RSS MiB");
  std::fflush(stdout);
  double oneSession = 0;
  for (const int sessions : sessionCounts) {
    const std::string folder = MakeFolder(due, sessions, sink.Port(), body);
    const bench::OstrelRun run = bench::RunOstrel(folder);
    std::filesystem::remove_all(folder);
    const double ours = static_cast<double>(run.sent) / run.seconds;
    if (sessions == 1) oneSession = ours;
    const double theirs = static_cast<double>(due) / bench::SmtpSourceSeconds(due, sessions, messageBytes, sink.Port());
    char gain[32] = "-";
    if (oneSession > 0) std::snprintf(gain, sizeof gain, "%.1fx", ours / oneSession);
    std::printf("%9d %8lld %13.1f %9s %13.1f %13.2f %14.1f\n", sessions, run.sent, ours, gain, theirs, ours / theirs,
                run.peakKiB / 1024.0);
    std::fflush(stdout);
  }
  return 0;
}
