// Composes and sends N messages, each composed afresh and sent in a session of its own as
// the processor does, to Postfix's smtp-sink on loopback and prints messages per second;
// times smtp-source sending as many messages of the same size, one per session, to the
// same sink and prints the ratio; then streams a large attachment (1 GiB by default) in
// one session and prints the peak resident memory before and after.
//
// The messages are HTML with a plain-text alternative and one inline image, so that the
// figure covers the image table, the "cid:" rewriting and the image's base64 text.
//
//   smtp_bench [messages=500] [attachment MiB=1024]
#include "bench/support/BenchProcess.h"
#include "bench/support/ProcessUsage.h"
#include "mail/MimeComposer.h"
#include "mail/PosixSocket.h"
#include "mail/SmtpSession.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using bench::FreePort;
using bench::Spawn;
using Clock = std::chrono::steady_clock;

using bench::CpuSeconds;
using bench::PeakRssKiB;

// One session as the processor runs it; true when the message was handed over.
bool SendOne(ar::Socket& socket, const ar::SmtpSettings& settings, const std::string& text,
             const std::string& attachment) {
  ar::SmtpSession session(socket, nullptr);
  bool authFailed = false;
  if (session.SMTPConnect(settings, authFailed)) return false;
  bool ok = !session.SMTPSend("MAIL FROM: <bench@sender.test>\r\n") && !session.SMTPReceive() &&
            !session.SMTPSend("RCPT TO: <sink@rcpt.test>\r\n") && !session.SMTPReceive() &&
            !session.SMTPSend("DATA\r\n") && !session.SMTPReceive() &&
            !session.SMTPSend(text + "\r\n.\r\n", attachment) && !session.SMTPReceive();
  session.SMTPQuit();
  return ok;
}

ar::MailMessageContent Content(const std::string& image, const std::string& attachment) {
  ar::MailMessageContent m;
  m.plainTextOnly = false;
  m.subject = "Benchmark message";
  m.from = "bench@sender.test";
  m.fromName = "Bench Sender";
  m.to = "sink@rcpt.test";
  m.emailDomain = "sender.test";
  m.body = "<html><body><p><img src=\"file://" + image + "\"></p>\r\n";
  for (int i = 0; i < 30; ++i) {
    m.plainTextBody += "Line " + std::to_string(i) + " of the benchmark message body text.\r\n";
    m.body += "<p>Line " + std::to_string(i) + " of the benchmark message body text.</p>\r\n";
  }
  m.body += "</body></html>";
  m.attached = attachment;
  return m;
}

// A file of the given size under /tmp; its path, or empty when it cannot be made.
std::string TempFile(const char* stem, const char* extension, long long size, bool sparse) {
  std::string path = std::string("/tmp/smtp_bench_") + stem + "_XXXXXX" + extension;
  int fd = ::mkstemps(path.data(), static_cast<int>(std::strlen(extension)));
  if (fd < 0) return {};
  bool ok = true;
  if (sparse) {
    ok = ::ftruncate(fd, size) == 0;
  } else {
    std::string bytes(static_cast<std::size_t>(size), '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 131 + 17) & 0xff);
    ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }
  ::close(fd);
  if (!ok) {
    ::unlink(path.c_str());
    return {};
  }
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  int messages = argc > 1 ? std::atoi(argv[1]) : 500;
  long attachmentMiB = argc > 2 ? std::atol(argv[2]) : 1024;
  const char* sink = "/usr/sbin/smtp-sink";
  const char* source = "/usr/sbin/smtp-source";
  if (::access(sink, X_OK) != 0 || ::access(source, X_OK) != 0) {
    std::fprintf(stderr, "smtp-sink and smtp-source (package postfix) are needed\n");
    return 1;
  }
  std::signal(SIGPIPE, SIG_IGN);
  int port = FreePort();
  std::string where = "127.0.0.1:" + std::to_string(port);
  pid_t sinkPid = Spawn({sink, "-u", "nobody", where, "256"});
  ar::PosixSocket socket(ar::TlsOptions{});
  for (int i = 0; i < 200; ++i) {
    try {
      socket.Connect("127.0.0.1", port);
      socket.Abort();
      break;
    } catch (const ar::SocketError&) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  ar::SmtpSettings settings{where, "", "", false, "bench.test"};

  const std::string image = TempFile("image", ".gif", 4 * 1024, false);
  if (image.empty()) {
    std::fprintf(stderr, "cannot make the image file\n");
    return 1;
  }
  const ar::MailMessageContent content = Content(image, "");
  std::size_t size = 0;
  auto start = Clock::now();
  int sent = 0;
  for (int i = 0; i < messages; ++i) {
    ar::MailMessageContent m = content;  // the composer changes its input
    const std::string text = ar::CreateMailMessage(m);
    size = text.size();
    sent += !text.empty() && SendOne(socket, settings, text, "") ? 1 : 0;
  }
  double ours = std::chrono::duration<double>(Clock::now() - start).count();

  start = Clock::now();
  pid_t sourcePid = Spawn({source, "-s", "1", "-m", std::to_string(messages), "-l", std::to_string(size),
                           "-f", "bench@sender.test", "-t", "sink@rcpt.test", where});
  int status = 0;
  ::waitpid(sourcePid, &status, 0);
  double theirs = std::chrono::duration<double>(Clock::now() - start).count();
  bool sourceOk = WIFEXITED(status) && WEXITSTATUS(status) == 0;

  std::printf("message size            %zu bytes (HTML, plain text, one %d-byte inline image)\n", size, 4 * 1024);
  std::printf("compose and send        %d of %d sent, %.1f messages/s\n", sent, messages, sent / ours);
  std::printf("smtp-source sessions    %d%s, %.1f messages/s\n", messages, sourceOk ? "" : " (FAILED)",
              messages / theirs);
  std::printf("ratio (ours/smtp-source) %.2f\n", (sent / ours) / (messages / theirs));

  if (attachmentMiB > 0) {
    const std::string path = TempFile("attachment", ".bin", attachmentMiB * 1024 * 1024, true);
    if (path.empty()) {
      std::fprintf(stderr, "cannot make the attachment file\n");
    } else {
      long before = PeakRssKiB();
      double cpu = CpuSeconds();
      start = Clock::now();
      ar::MailMessageContent big = Content(image, path);
      const std::string bigText = ar::CreateMailMessage(big);
      bool ok = !bigText.empty() && SendOne(socket, settings, bigText, path);
      double secs = std::chrono::duration<double>(Clock::now() - start).count();
      cpu = CpuSeconds() - cpu;
      std::printf("attachment              %ld MiB %s in %.1f s (%.0f MiB/s), %.1f s of CPU in this process\n",
                  attachmentMiB, ok ? "sent" : "FAILED", secs, attachmentMiB / secs, cpu);
      std::printf("peak resident memory    %ld KiB before, %ld KiB after streaming\n", before, PeakRssKiB());
      ::unlink(path.c_str());
    }
  }
  ::unlink(image.c_str());
  ::kill(sinkPid, SIGTERM);
  ::waitpid(sinkPid, &status, 0);
  return 0;
}
