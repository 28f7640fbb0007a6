// Fills the mailbox of a private Dovecot on loopback with N messages of typical size
// (about 4 KB, each from its own sender), lets one intake run take them over POP3, then
// again over IMAP4, both plain TCP, and prints messages per second for each. Every round
// checks that all messages were subscribed and the mailbox is empty. Needs root, and
// dovecot-core, dovecot-pop3d and dovecot-imapd.
//
//   intake_bench [messages=1000] [rounds=3]
#include "base/Trace.h"
#include "mail/PosixSocket.h"
#include "processor/MailboxIntake.h"
#include "store/Schema.h"
#include "tests/support/RealDovecot.h"
#include "tests/support/TestCa.h"
#include "tests/support/TestDatabases.h"
#include "tests/support/TestRunContext.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kUser = "bench";
constexpr const char* kPassword = "bench-pass";

std::string TypicalMessage(int i) {
  const std::string n = std::to_string(i);
  std::string m = "Return-Path: <sender" + n + "@example.com>\r\n"
                  "Received: from client.example.com (client.example.com [192.0.2.7])\r\n"
                  "\tby mx.example.net with ESMTPS id 4F1C2A3B4C; Mon, 5 Jan 2009 14:03:09 +0100\r\n"
                  "From: \"Sender Number " + n + "\" <sender" + n + "@example.com>\r\n"
                  "To: list@example.net\r\n"
                  "Subject: Please send me the newsletter (" + n + ")\r\n"
                  "Date: Mon, 5 Jan 2009 14:03:09 +0100\r\n"
                  "Message-ID: <" + n + ".bench@example.com>\r\n"
                  "MIME-Version: 1.0\r\n"
                  "Content-Type: text/plain; charset=us-ascii\r\n\r\n";
  const std::string line = "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor.\r\n";
  while (m.size() < 4096) m += line;
  return m;
}

struct Round {
  double seconds = 0;
  bool ok = false;
};

Round RunOnce(ar::test::RealDovecot& server, ar::test::TestDatabases& db, int64_t id, const std::string& type,
              int port, const std::vector<std::string>& messages) {
  db.Subscribers().Execute("delete from " + ar::SubscriberTable(id));
  server.Deliver(messages);
  ar::StatusList status;
  ar::PosixSocket socket(ar::TlsOptions{true, ""});
  ar::RunContext ctx = ar::test::MakeRunContext(db, id, status, socket);
  ar::MailboxIntake intake(ctx);
  const auto start = Clock::now();
  intake.ReadPOP("127.0.0.1:" + std::to_string(port), kUser, kPassword, false, id, type, "");
  Round r;
  r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const long long rows = db.Subscribers().Scalar("select count(*) from " + ar::SubscriberTable(id)).AsInteger();
  r.ok = rows == static_cast<long long>(messages.size()) && server.MessagesLeft() == 0;
  if (!r.ok) {
    std::fprintf(stderr, "%s: %lld of %zu subscribed, %d messages left\n", type.c_str(), rows, messages.size(),
                 server.MessagesLeft());
  }
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  if (count < 1 || count > ar::kMaxMessagesPerRun || rounds < 1) {
    std::fprintf(stderr, "usage: intake_bench [messages=1000 (1..%d)] [rounds=3]\n", ar::kMaxMessagesPerRun);
    return 2;
  }
  if (std::string why = ar::test::RealDovecot::Unavailable(); !why.empty()) {
    std::fprintf(stderr, "intake_bench: %s\n", why.c_str());
    return 1;
  }
  std::vector<std::string> messages;
  std::size_t bytes = 0;
  for (int i = 1; i <= count; ++i) {
    messages.push_back(TypicalMessage(i));
    bytes += messages.back().size();
  }

  int failures = 0;
  {
    ar::test::TestDatabases db;
    ar::SetTraceFile(db.Folder() + "/debug/tracepop.log");
    const int64_t id = db.AddAutoresponder("bench", true);
    ar::test::TempFolder folder;
    ar::test::TestCa ca(folder.Path(), "bench");
    ar::test::RealDovecot server(folder.Path(), ca.IssueLoopbackServer(), kUser, kPassword);

    std::printf("messages                %d of %zu bytes on average, %d rounds\n", count, bytes / messages.size(),
                rounds);
    for (const auto& [type, port] : {std::pair<std::string, int>{"POP3", server.Pop3Port()},
                                     std::pair<std::string, int>{"IMAP4", server.Imap4Port()}}) {
      std::vector<double> rates;
      for (int r = 0; r < rounds; ++r) {
        const Round round = RunOnce(server, db, id, type, port, messages);
        if (!round.ok) ++failures;
        rates.push_back(count / round.seconds);
      }
      std::sort(rates.begin(), rates.end());
      std::printf("%-6s intake           %.0f messages/s (median of %d; slowest %.0f, fastest %.0f)\n", type.c_str(),
                  rates[rates.size() / 2], rounds, rates.front(), rates.back());
    }
    if (!server.Stop().empty()) std::fprintf(stderr, "dovecot processes had to be killed\n");
    ar::SetTraceFile("");
  }
  return failures == 0 ? 0 : 1;
}
