// Mailbox intake against a real Dovecot on loopback, over POP3 and IMAP4, plain TCP and
// TLS from connect with a CA made for the test: what a run does to the subscriber table
// and to the mailbox, and that nothing of the server is left running afterwards.
#include "base/Trace.h"
#include "mail/PosixSocket.h"
#include "processor/MailboxIntake.h"
#include "store/Schema.h"
#include "tests/support/RealDovecot.h"
#include "tests/support/TestCa.h"
#include "tests/support/TestDatabases.h"

#include <gtest/gtest.h>

#include <memory>

namespace ar {
namespace {

constexpr const char* kUser = "list";
constexpr const char* kPassword = "s3cret pass\"word";  // needs quoting in an IMAP4 LOGIN

struct Transport {
  const char* name;
  const char* serverType;
  bool tls;
};
void PrintTo(const Transport& t, std::ostream* os) { *os << t.name; }

std::string Message(const std::string& headers, const std::string& body) {
  return "Return-Path: <bounce@relay.example.net>\r\n"
         "Received: from relay.example.net by mx.example.com; Mon, 5 Jan 2009 14:03:09 +0100\r\n" +
         headers + "Date: Mon, 5 Jan 2009 14:03:09 +0100\r\nMessage-ID: <" + std::to_string(headers.size()) +
         "@example.net>\r\n\r\n" + body;
}

// The mailbox every run reads: one message for each case the intake tells apart.
std::vector<std::string> TheMailbox() {
  return {
      Message("From: \"Nora North\" <nora@example.com>\r\nSubject: Sign me up\r\n", "Hello, please add me.\r\n"),
      Message("From: ken@example.com\r\nSubject: Please UNSUBSCRIBE me\r\n", "No more, thanks.\r\n"),
      Message("From: MAILER-DAEMON@mx.example.com\r\nSubject: Undelivered Mail Returned to Sender\r\n",
              "This is the mail system at host mx.example.com.\r\n\r\n"
              "<gone@example.org>: host mail.example.org said: 550 5.1.1 <gone@example.org>:\r\n"
              "    Recipient address rejected: User unknown in local recipient table\r\n\r\n"
              "Final-Recipient: rfc822; gone@example.org\r\nAction: failed\r\nStatus: 5.1.1\r\n"),
      Message("Subject: nobody wrote this\r\n", "A message without a sender line.\r\n"),
  };
}

class IntakeRealServerTest : public ::testing::TestWithParam<Transport> {
 protected:
  static void SetUpTestSuite() {
    skip_ = test::RealDovecot::Unavailable();
  }

  void SetUp() override {
    if (!skip_.empty()) GTEST_SKIP() << skip_;
    SetTraceFile(db.Folder() + "/debug/tracepop.log");
    ca = std::make_unique<test::TestCa>(folder.Path(), "intake");
    server = std::make_unique<test::RealDovecot>(folder.Path(), ca->IssueLoopbackServer(), kUser, kPassword);
    id = db.AddAutoresponder("list", true);
    ctx.dataFolder = db.Folder();
    ctx.config = &db.Config();
    ctx.subscribers = &db.Subscribers();
    ctx.status = &status;
    ctx.currentAutoresponder = id;
    db.Config().Execute("update tblAutoresponders set LastStatus='OK'");
  }

  void TearDown() override {
    SetTraceFile("");
    if (!server) return;
    const std::vector<int> processes = server->Processes();
    EXPECT_GT(processes.size(), 1u) << "the master and its services";
    const std::string log = server->Log();
    EXPECT_TRUE(server->Stop().empty()) << "processes that did not end on their own\n" << log;
    EXPECT_TRUE(test::StillRunning(processes).empty());
    server.reset();
  }

  int Port(const Transport& t) const {
    const bool pop = std::string(t.serverType) == "POP3";
    return pop ? (t.tls ? server->Pop3TlsPort() : server->Pop3Port())
               : (t.tls ? server->Imap4TlsPort() : server->Imap4Port());
  }

  // One intake run as the processor makes it, with a socket trusting the given CA file.
  void Read(const Transport& t, const std::string& caFile) {
    PosixSocket socket(TlsOptions{true, caFile});
    ctx.socket = &socket;
    MailboxIntake::Limits limits;
    limits.connectTimeoutMs = 10000;
    limits.popDialogueTimeoutMs = 10000;
    MailboxIntake(ctx, limits).ReadPOP("127.0.0.1:" + std::to_string(Port(t)), kUser, kPassword, t.tls, id,
                                       t.serverType, "");
    EXPECT_EQ(socket.State(), SocketState::Closed);
    ctx.socket = nullptr;
  }

  std::vector<std::string> Rows() {
    std::vector<std::string> rows;
    for (RowSet rs = db.Subscribers().Query("select * from " + SubscriberTable(id) + " order by EmailAddress");
         !rs.Eof(); rs.MoveNext())
      rows.push_back(rs.Field("EmailAddress").AsText() + (rs.Field("UnsubscribeDate").IsNull() ? "" : " (unsubscribed)"));
    return rows;
  }
  bool Logged(const std::string& text) const {
    for (const std::string& line : status.Lines())
      if (line.size() >= text.size() && line.compare(line.size() - text.size(), text.size(), text) == 0) return true;
    return false;
  }
  std::string Trace() const { return test::ReadWholeFile(db.Folder() + "/debug/tracepop.log"); }

  static inline std::string skip_;
  test::TempFolder folder;
  test::TestDatabases db;
  std::unique_ptr<test::TestCa> ca;
  std::unique_ptr<test::RealDovecot> server;
  int64_t id = 0;
  StatusList status;
  RunContext ctx;
};

TEST_P(IntakeRealServerTest, ARunAppliesEveryMessageAndEmptiesTheMailbox) {
  const Transport& t = GetParam();
  db.Subscribers().Execute("insert into " + SubscriberTable(id) + " (EmailAddress) values ('ken@example.com')");
  server->Deliver(TheMailbox());
  ASSERT_EQ(server->MessagesLeft(), 4);

  Read(t, ca->CaFile());

  EXPECT_EQ(Rows(), (std::vector<std::string>{"ken@example.com (unsubscribed)", "nora@example.com"}))
      << Trace() << server->Log();
  EXPECT_EQ(server->MessagesLeft(), 0) << Trace() << server->Log();
  EXPECT_TRUE(Logged("Number of messages: 4"));
  EXPECT_TRUE(Logged(std::string(t.serverType) == "POP3" ? "Closing POP account" : "Closing IMAP account"));
  EXPECT_EQ(db.Config().Scalar("select LastStatus from tblAutoresponders where AutoresponderID=?", {Value(id)}).AsText(),
            "OK");
}

TEST_P(IntakeRealServerTest, AnEmptyMailboxEndsCleanly) {
  Read(GetParam(), ca->CaFile());
  EXPECT_TRUE(Rows().empty());
  EXPECT_TRUE(Logged("Number of messages: 0"));
  EXPECT_EQ(Trace().find("frmProcess:ReadPOP"), std::string::npos) << Trace();
}

INSTANTIATE_TEST_SUITE_P(IntakeReal, IntakeRealServerTest,
                         ::testing::Values(Transport{"Pop3Plain", "POP3", false}, Transport{"Pop3Tls", "POP3", true},
                                           Transport{"Imap4Plain", "IMAP4", false}, Transport{"Imap4Tls", "IMAP4", true}),
                         [](const ::testing::TestParamInfo<Transport>& info) { return std::string(info.param.name); });

// Without the test CA the server's certificate is not trusted: nothing is read or deleted.
class IntakeRealServerUntrusted : public IntakeRealServerTest {};

TEST_P(IntakeRealServerUntrusted, AnUntrustedCertificateReadsNothing) {
  server->Deliver({TheMailbox().front()});
  Read(GetParam(), "");
  EXPECT_TRUE(Rows().empty());
  EXPECT_EQ(server->MessagesLeft(), 1);
  EXPECT_NE(Trace().find("CONNECTION ERROR: "), std::string::npos) << Trace();
}

INSTANTIATE_TEST_SUITE_P(IntakeReal, IntakeRealServerUntrusted,
                         ::testing::Values(Transport{"Pop3Tls", "POP3", true}, Transport{"Imap4Tls", "IMAP4", true}),
                         [](const ::testing::TestParamInfo<Transport>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ar
