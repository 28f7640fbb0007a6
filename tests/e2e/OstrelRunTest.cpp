// The real ostrel program against data folders seeded from the build's initial databases.
#include "base/Clock.h"
#include "store/DataFolder.h"
#include "store/DatabaseFiles.h"
#include "store/PresenceMarker.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TestDatabases.h"

#include <gtest/gtest.h>

namespace ar {
namespace {

class OstrelRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CopyFile(std::string(AR_BIN_DIR) + "/autoresponder.tem", AutoresponderDbPath(folder.Path())));
    ASSERT_TRUE(CopyFile(std::string(AR_BIN_DIR) + "/subscribers.tem", SubscribersDbPath(folder.Path())));
    MakeFolders(folder.Path() + "/debug");
  }
  Connection Open(const std::string& path) {
    Connection::Options o;
    o.busyTimeoutMs = 10000;
    return Connection::Open(path, o);
  }
  std::vector<std::string> Env(int dbTimeoutMs = 10000) {
    // No display: the processor must not need one, in debug mode either.
    return {"AUTORESPONDER_DATA=" + folder.Path(), "AUTORESPONDER_DB_TIMEOUT_MS=" + std::to_string(dbTimeoutMs),
            "DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="};
  }
  std::string Trace() { return test::ReadWholeFile(folder.Path() + "/debug/tracepop.log"); }

  test::TempFolder folder;
};

TEST_F(OstrelRun, CompletesARunOnSeededDatabases) {
  {
    Connection config = Open(AutoresponderDbPath(folder.Path()));
    config.Execute("update tblConfiguration set SMTPServer='127.0.0.1:1'");
    config.Execute("update tblStatus set LastSMTPStatus=-1, LastPOPStatus=-1");
    config.Execute("insert into tblAutoresponders (AutoresponderName, Active, LastStatus) values ('on', -1, 'stale')");
    config.Execute("insert into tblAutoresponders (AutoresponderName, Active, LastStatus) values ('off', 0, 'stale')");
  }
  const double before = NowDays();
  const test::ProcessResult r = test::RunProgram("ostrel", {"0"}, Env());
  EXPECT_EQ(r.exitCode, 0) << r.err;

  Connection config = Open(AutoresponderDbPath(folder.Path()));
  RowSet status = config.Query("select * from tblStatus");
  EXPECT_GE(status.Field("LastOstrelRun").AsReal(), before - 1.0 / 86400);
  EXPECT_EQ(status.Field("LastSMTPStatus").AsInteger(), 0);
  EXPECT_EQ(status.Field("LastPOPStatus").AsInteger(), 0);
  RowSet rows = config.Query("select AutoresponderName, LastStatus from tblAutoresponders order by AutoresponderID");
  EXPECT_EQ(rows.Field("LastStatus").AsText(), "OK");
  rows.MoveNext();
  EXPECT_EQ(rows.Field("LastStatus").AsText(), "");
  EXPECT_FALSE(PresenceMarker::Exists("ostrel", folder.Path()));
}

TEST_F(OstrelRun, WithoutAnSmtpServerRecordsTheProblemAndStops) {
  const test::ProcessResult r = test::RunProgram("ostrel", {"0", "/d"}, Env());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find(" - Error: SMTP server not specified"), std::string::npos) << r.out;
  Connection config = Open(AutoresponderDbPath(folder.Path()));
  EXPECT_EQ(config.Scalar("select LastSMTPStatus from tblStatus").AsInteger(), -1);
  EXPECT_TRUE(config.Scalar("select LastOstrelRun from tblStatus").IsNull());
}

TEST_F(OstrelRun, ASecondProcessorRefusesWhileOneRuns) {
  // Hold the configuration file so that the first processor waits inside its start-up,
  // marker taken, until the lock goes.
  Connection blocker = Open(AutoresponderDbPath(folder.Path()));
  blocker.Scalar("PRAGMA locking_mode=EXCLUSIVE");
  blocker.Execute("BEGIN EXCLUSIVE");
  blocker.Execute("update tblConfiguration set SMTPServer='127.0.0.1:1'");

  test::Subprocess first("ostrel", {"0"}, Env(30000));
  ASSERT_TRUE(test::WaitUntil([&] { return PresenceMarker::Exists("ostrel", folder.Path()); }));

  const test::ProcessResult second = test::RunProgram("ostrel", {"0"}, Env());
  EXPECT_EQ(second.exitCode, 75);
  EXPECT_NE(second.err.find("already active"), std::string::npos) << second.err;

  blocker.Execute("COMMIT");
  blocker.Close();
  const test::ProcessResult r = first.Wait();
  EXPECT_EQ(r.exitCode, 0) << r.err;
  Connection config = Open(AutoresponderDbPath(folder.Path()));
  EXPECT_FALSE(config.Scalar("select LastOstrelRun from tblStatus").IsNull());
  EXPECT_EQ(Trace(), "");  // neither processor had an error to trace
}

TEST_F(OstrelRun, ADatabaseThatCannotBeOpenedIsReportedAndNothingIsWritten) {
  struct Case { const char* name; std::string content; bool remove; };
  const Case cases[] = {{"missing", "", true}, {"not a database", std::string(4096, '\x07'), false}};
  for (const Case& c : cases) {
    const std::string path = AutoresponderDbPath(folder.Path());
    std::remove(path.c_str());
    if (!c.remove) test::WriteWholeFile(path, c.content);
    std::remove((folder.Path() + "/debug/tracepop.log").c_str());

    const test::ProcessResult r = test::RunProgram("ostrel", {"0"}, Env());
    EXPECT_EQ(r.exitCode, 1) << c.name;
    EXPECT_NE(r.err.find("autoresponder.sto"), std::string::npos) << c.name << ": " << r.err;
    EXPECT_NE(Trace().find(" frmProcess:Form_Load: cannot open "), std::string::npos) << c.name;
    if (c.remove) EXPECT_FALSE(FileExists(path)) << c.name;
    else EXPECT_EQ(test::ReadWholeFile(path), c.content) << c.name;
  }
}

}  // namespace
}  // namespace ar
