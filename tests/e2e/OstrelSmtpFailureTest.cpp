// The real ostrel against relays that fail: one that accepts connections but never
// greets, one that resets a TLS connection while the message streams, and a stop
// request while ostrel waits on a silent relay.
#include "tests/support/FakeServer.h"
#include "tests/support/OstrelFolder.h"
#include "tests/support/TestCa.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>

namespace ar {
namespace {

using test::FakeServer;
using test::OstrelFolder;
using test::Script;

std::string Trace(const OstrelFolder& folder) { return test::ReadWholeFile(folder.Path() + "/debug/tracepop.log"); }

int Occurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::string LastStatus(const OstrelFolder& folder, int64_t id) {
  return NullToDefault(folder.ConfigScalar("select LastStatus from tblAutoresponders where AutoresponderID=?", {id}), "");
}

// Each due subscriber used to cost a full reply time-out: a pass now gives up after
// three sessions in a row, and the next autoresponder is still tried.
TEST(OstrelFailingRelay, AStalledRelayCostsThreeSessionsAPass) {
  std::vector<Script> silent(6);
  for (Script& s : silent) s.ExpectClosed();
  FakeServer server(silent);
  OstrelFolder folder;
  folder.SetSmtpServer(server.Address());
  std::vector<int64_t> ids;
  for (const char* name : {"first", "second"}) {
    ids.push_back(folder.AddAutoresponder(name));
    folder.AddEvent(ids.back(), "welcome", 0);
    folder.AddSubscribers(ids.back(), name, 5, 0);
  }
  const test::ProcessResult r =
      test::RunProgram("ostrel", {"0"}, folder.Environment({"AUTORESPONDER_SMTP_TIMEOUT_MS=300"}));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_THAT(server.Finish(), ::testing::IsEmpty());
  EXPECT_EQ(Occurrences(Trace(folder), "CONNECTION ERROR: Timed out"), 6) << Trace(folder);
  for (int64_t id : ids) EXPECT_EQ(LastStatus(folder, id), "Error: SMTP connection failed");
  EXPECT_EQ(folder.SubscriberScalar("select count(*) from [" + std::to_string(ids[0]) +
                                    "] where LastEventSentTime IS NULL and TempLastEventSentTime IS NULL")
                .AsInteger(),
            5);
}

// A TLS relay that drops the connection while the message streams: the write fails with
// an error (no SIGPIPE ends the program), the subscriber stays due, the run is recorded.
TEST(OstrelFailingRelay, ATlsResetDuringTheMessageLeavesTheSubscriberDue) {
  OstrelFolder folder;
  test::TestCa ca(folder.Path(), "relay");
  const test::ServerIdentity identity = ca.IssueLoopbackServer();
  Script s;
  s.Send("220 relay.test ESMTP\r\n")
      .Exchange("HELO client.test\r\n", "250 relay.test\r\n")
      .Exchange("MAIL FROM: <news@example.com>\r\n", "250 ok\r\n")
      .Exchange("RCPT TO: <a00000@rcpt.test>\r\n", "250 ok\r\n")
      .Exchange("DATA\r\n", "354 go ahead\r\n")
      .Drop();
  FakeServer server({s}, test::FakeServerTls{identity.certFile, identity.keyFile});
  folder.SetSmtpServer("localhost:" + std::to_string(server.Port()));
  folder.ConfigExecute("update tblConfiguration set EnableSMTPSSL=-1");
  const int64_t id = folder.AddAutoresponder("news");
  const int64_t event = folder.AddEvent(id, "welcome", 0);
  const std::string attachment = folder.Path() + "/big.bin";
  {
    std::ofstream out(attachment, std::ios::binary);
    const std::string block(1 << 20, '\x5a');
    for (int i = 0; i < 16; ++i) out << block;
  }
  folder.ConfigExecute("update tblAutoresponderEvents set AttachmentFileName=? where AutoresponderEventID=?",
                       {attachment, event});
  folder.AddSubscribers(id, "a", 1, 0);

  const test::ProcessResult r =
      test::RunProgram("ostrel", {"0"}, folder.Environment({"AUTORESPONDER_CA_FILE=" + ca.CaFile()}));
  ASSERT_EQ(r.exitCode, 0) << "ended by signal " << r.exitCode - 128;
  EXPECT_THAT(server.Finish(), ::testing::IsEmpty());
  EXPECT_EQ(LastStatus(folder, id), "Error: SMTP connection lost, retried at next run");
  EXPECT_TRUE(folder.SubscriberScalar("select LastEventSentTime from [" + std::to_string(id) + "]").IsNull());
  EXPECT_FALSE(folder.ConfigScalar("select LastOstrelRun from tblStatus").IsNull());
}

// SIGTERM while ostrel waits for a greeting that would take its whole time-out: the
// wait ends at once and the run ends as a run does.
TEST(OstrelFailingRelay, AStopEndsTheWaitOnASilentRelayAtOnce) {
  // With several sessions the message waits on a worker's own socket: the stop must
  // reach that one too.
  for (const int sessions : {1, 8}) {
    SCOPED_TRACE(sessions);
    Script silent;
    silent.ExpectClosed();
    FakeServer server({silent});
    OstrelFolder folder;
    folder.SetSmtpServer(server.Address());
    folder.ConfigExecute("update tblConfiguration set SMTPSessions=?", {sessions});
    const int64_t id = folder.AddAutoresponder("news");
    folder.AddEvent(id, "welcome", 0);
    folder.AddSubscribers(id, "a", 3, 0);

    test::Subprocess ostrel("ostrel", {"0"}, folder.Environment());
    ASSERT_TRUE(test::WaitUntil([&] { return server.Accepted() == 1; }));
    ::kill(ostrel.Pid(), SIGTERM);
    const test::ProcessResult r = ostrel.Wait(std::chrono::seconds(20));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(server.Finish(), ::testing::IsEmpty());
    EXPECT_EQ(LastStatus(folder, id), "Stopped before all due messages were sent");
    EXPECT_FALSE(folder.ConfigScalar("select LastOstrelRun from tblStatus").IsNull());
    EXPECT_EQ(
        folder.SubscriberScalar("select count(*) from [" + std::to_string(id) + "] where LastEventSentTime IS NULL")
            .AsInteger(),
        3);
  }
}

}  // namespace
}  // namespace ar
