// The real ostrel against refusals that are not the recipient's: Postfix's smtp-sink
// refusing MAIL FROM marks nobody, refusing RCPT TO marks each recipient; a subscriber
// file that cannot take a mark stops sending and says so.
#include "store/Schema.h"
#include "tests/support/OstrelFolder.h"
#include "tests/support/ServerProcess.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ar {
namespace {

using test::OstrelFolder;

constexpr const char* kSmtpSink = "/usr/sbin/smtp-sink";

int Occurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// A loopback port nobody listens on now.
int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof a;
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
  ::close(fd);
  return ntohs(a.sin_port);
}

// Postfix's test server, refusing the given commands with a 5xx reply.
class SmtpSink {
 public:
  explicit SmtpSink(const std::string& refuse)
      : port_(FreePort()), process_(kSmtpSink, Arguments(refuse, port_), {}) {
    started_ = test::WaitUntil([&] { return test::AcceptsOnLoopback(port_); });
  }
  bool Started() const { return started_; }
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  static std::vector<std::string> Arguments(const std::string& refuse, int port) {
    std::vector<std::string> args = {"-f", refuse, "127.0.0.1:" + std::to_string(port), "10"};
    // Run as root, it insists on a user to become.
    if (::geteuid() == 0) args.insert(args.begin(), {"-u", "postfix"});
    return args;
  }

  int port_;
  test::Subprocess process_;
  bool started_ = false;
};

struct Outcome {
  int marked;
  std::string lastStatus;
  int64_t smtpProblem;
  std::string trace;
};

Outcome RunAgainst(const std::string& refuse) {
  SmtpSink sink(refuse);
  EXPECT_TRUE(sink.Started());
  OstrelFolder folder;
  folder.SetSmtpServer(sink.Address());
  const int64_t id = folder.AddAutoresponder("news");
  folder.AddEvent(id, "welcome", 0);
  folder.AddEvent(id, "one", 1);
  folder.AddSubscribers(id, "s", 4, 1);
  const test::ProcessResult r = test::RunProgram("ostrel", {"0"}, folder.Environment());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return {static_cast<int>(folder.SubscriberScalar("select count(*) from " + SubscriberTable(id) +
                                                   " where LastAutoresponderEventID IS NOT NULL")
                               .AsInteger()),
          NullToDefault(folder.ConfigScalar("select LastStatus from tblAutoresponders where AutoresponderID=?", {id}), ""),
          folder.ConfigScalar("select LastSMTPStatus from tblStatus").AsInteger(),
          test::ReadWholeFile(folder.Path() + "/debug/tracepop.log")};
}

TEST(OstrelRefusal, ARefusedSenderMarksNobodyARefusedRecipientIsFinal) {
  if (!test::PathExists(kSmtpSink)) GTEST_SKIP() << kSmtpSink << " is not installed";
  const Outcome mail = RunAgainst("mail");
  EXPECT_EQ(mail.marked, 0);
  EXPECT_EQ(mail.lastStatus, "Error: SMTP server refused the sender, nothing sent");
  EXPECT_EQ(mail.smtpProblem, -1);
  EXPECT_NE(mail.trace.find("the SMTP server refused the sender or the session"), std::string::npos) << mail.trace;

  const Outcome rcpt = RunAgainst("rcpt");
  EXPECT_EQ(rcpt.marked, 4) << "a refusal of the recipient is final for that subscriber";
  EXPECT_EQ(rcpt.lastStatus, "OK");
  EXPECT_EQ(rcpt.smtpProblem, 0);
}

TEST(OstrelRefusal, AMarkThatCannotBeWrittenStopsSendingAndIsReported) {
  if (!test::PathExists(kSmtpSink)) GTEST_SKIP() << kSmtpSink << " is not installed";
  SmtpSink sink("vrfy");  // a relay that takes every message
  ASSERT_TRUE(sink.Started());
  OstrelFolder folder;
  folder.SetSmtpServer(sink.Address());
  const int64_t id = folder.AddAutoresponder("news");
  folder.AddEvent(id, "welcome", 0);
  folder.AddSubscribers(id, "s", 3, 0);
  {
    // The file refuses every mark, as a full disk would.
    Connection subscribers = Connection::Open(folder.Path() + "/subscribers.sto");
    subscribers.Execute("CREATE TRIGGER full BEFORE UPDATE OF TempLastEventSentTime ON " + SubscriberTable(id) +
                        " BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END");
  }
  const test::ProcessResult r = test::RunProgram("ostrel", {"0", "/d"}, folder.Environment());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(NullToDefault(folder.ConfigScalar("select LastStatus from tblAutoresponders where AutoresponderID=?", {id}), ""),
            "Error: the database cannot be written, sending stopped");
  EXPECT_EQ(folder.ConfigScalar("select LastSMTPStatus from tblStatus").AsInteger(), -1);
  EXPECT_FALSE(folder.ConfigScalar("select LastOstrelRun from tblStatus").IsNull());
  const std::string trace = test::ReadWholeFile(folder.Path() + "/debug/tracepop.log");
  EXPECT_NE(trace.find("database or disk is full; sending stopped"), std::string::npos) << trace;
  EXPECT_EQ(Occurrences(trace, "SENDING: RCPT TO: <"), 1) << "one message went; the next was not handed over";
}

}  // namespace
}  // namespace ar
