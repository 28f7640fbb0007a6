// A processing run of the real ostrel over N due subscribers of one autoresponder,
// against Postfix's smtp-sink on loopback: messages per second and ostrel's peak
// resident memory; in the same run smtp-source sends as many messages of the same size,
// one per session, to the same sink, for comparison.
//
//   events_bench [N ...]          (default: 10000 100000)
#include "bench/support/BenchOstrel.h"
#include "mail/MimeComposer.h"
#include "store/Connection.h"
#include "store/DataFolder.h"
#include "store/DatabaseFiles.h"
#include "store/Schema.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <signal.h>
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
using bench::WaitForPort;

struct Layout {
  const char* name;
  bool html;
};

const char* kPlain =
    "Thank you for subscribing. This is the first of our follow-up messages, with a few\r\n"
    "paragraphs of ordinary text so that the message has a typical size.\r\n";

struct Result {
  double seconds;
  long peakKiB;
  long long sent;
  size_t messageBytes;
};

Result RunOstrel(long long n, const Layout& layout, int port) {
  const std::string folder = bench::MakeOstrelFolder("events-bench");
  std::string plain;
  for (int i = 0; i < 20; ++i) plain += kPlain;
  std::string html = "<html><body><img src=\"" + folder + "/logo.gif\">";
  for (int i = 0; i < 20; ++i) html += "<p>" + std::string(kPlain) + "</p>\r\n";
  html += "</body></html>\r\n";
  {
    std::ofstream gif(folder + "/logo.gif", std::ios::binary);
    for (int i = 0; i < 2048; ++i) gif.put(static_cast<char>(i * 7));
  }
  const size_t messageBytes = bench::MessageBytes(plain, layout.html ? html : "");
  {
    ar::DatabaseFiles files;
    files.Open(folder);
    const bench::WelcomeList list = bench::AddWelcomeList(files, port, !layout.html, plain);
    std::ofstream(folder + "/content/" + std::to_string(list.event) + ".html", std::ios::binary) << html;
    bench::AddSubscribers(files.subscribers, list.autoresponder, n);
  }
  const bench::OstrelRun run = bench::RunOstrel(folder);
  std::filesystem::remove_all(folder);
  return {run.seconds, run.peakKiB, run.sent, messageBytes};
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<long long> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoll(argv[i]));
  if (sizes.empty()) sizes = {10000, 100000};
  if (::access("/usr/sbin/smtp-sink", X_OK) != 0 || ::access("/usr/sbin/smtp-source", X_OK) != 0) {
    std::fprintf(stderr, "smtp-sink and smtp-source (package postfix) are needed\n");
    return 1;
  }
  const int port = FreePort();
  const pid_t sink = Spawn({"/usr/sbin/smtp-sink", "-u", "nobody", "127.0.0.1:" + std::to_string(port), "256"});
  if (!WaitForPort(port)) {
    std::fprintf(stderr, "smtp-sink did not start\n");
    return 1;
  }
  std::printf("%-28s %10s %8s %12s %14s %12s %7s\n", "layout", "due", "sent", "ostrel msg/s", "peak RSS MiB",
              "source msg/s", "ratio");
  for (const Layout layout : {Layout{"plain text", false}, Layout{"HTML + inline image", true}}) {
    for (long long n : sizes) {
      const Result r = RunOstrel(n, layout, port);
      const double source = bench::SmtpSourceSeconds(n, 1, r.messageBytes, port);
      const double ours = static_cast<double>(r.sent) / r.seconds;
      const double theirs = static_cast<double>(n) / source;
      std::printf("%-28s %10lld %8lld %12.0f %14.1f %12.0f %7.2f\n", layout.name, n, r.sent, ours, r.peakKiB / 1024.0,
                  theirs, ours / theirs);
      std::fflush(stdout);
    }
  }
  ::kill(sink, SIGTERM);
  ::waitpid(sink, nullptr, 0);
  return 0;
}
