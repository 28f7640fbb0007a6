// The control program's start: one instance, errors in either mode, backups, new columns, stops, debug.
#include "base/Trace.h"
#include "control/program/ControlProgram.h"
#include "control/program/DatabaseMaintenance.h"
#include "store/DataFolder.h"
#include "tests/support/TestDatabases.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace ar {
namespace {

struct RecordedMessages : OperatorMessages {
  struct Shown { std::string text, title; MessageIcon icon; };
  std::vector<Shown> shown;
  void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override {
    shown.push_back({text, title, icon});
  }
};

struct NoStarts : ProcessStarter {
  std::vector<std::string> programs;
  pid_t Start(const std::string& program, const std::string&) override {
    programs.push_back(program);
    return 4242;
  }
  bool Running(pid_t) override { return false; }
};

class ControlStartUp : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("AUTORESPONDER_DATA", db.Folder().c_str(), 1); }
  void TearDown() override {
    ::unsetenv("AUTORESPONDER_DATA");
    SetDebugSwitch(false);
    SetTraceFile("");
  }
  test::TestDatabases db;
  RecordedMessages boxes;
  RecordingEventLog log;
  NoStarts starter;
};

TEST_F(ControlStartUp, OneInstanceAtATimeInEachMode) {
  ControlProgram first("", boxes, log, starter);
  ASSERT_TRUE(first.StartUp());
  EXPECT_EQ(first.ModeType(), kModeApplication);
  EXPECT_TRUE(first.Main().IsOpen());

  ControlProgram second("", boxes, log, starter);
  EXPECT_FALSE(second.StartUp());
  EXPECT_EQ(second.ExitCode(), kControlExitAlreadyRunning);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text.rfind("A previous instance of Autoresponder is already running", 0), 0u);
  EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Critical);

  ControlProgram service("/S", boxes, log, starter);
  EXPECT_FALSE(service.StartUp());
  EXPECT_EQ(service.ExitCode(), kControlExitAlreadyRunning);
  EXPECT_EQ(boxes.shown.size(), 1u) << "service mode shows no box";
  EXPECT_TRUE(log.entries.empty());
  EXPECT_NE(test::ReadWholeFile(db.Folder() + "/debug/trace.log").find(" Previous service already running\r\n"),
            std::string::npos);
}

TEST_F(ControlStartUp, ServiceModeReportsStartUpErrorsToTheEventLog) {
  // No databases and no initial copies next to this program: seeding fails.
  std::remove((db.Folder() + "/autoresponder.sto").c_str());
  ControlProgram service("/s /d", boxes, log, starter);
  EXPECT_FALSE(service.StartUp());
  EXPECT_EQ(service.ExitCode(), kControlExitStartUpFailed);
  EXPECT_TRUE(boxes.shown.empty());
  ASSERT_EQ(log.entries.size(), 1u);
  EXPECT_EQ(log.entries[0].text.rfind("frmMain_load error: ", 0), 0u) << log.entries[0].text;
  EXPECT_EQ(log.entries[0].eventNumber, kEventMessage);
}

TEST_F(ControlStartUp, ABackupWithoutItsDatabaseIsRestoredNeverSeededOver) {
  // A crash between moving the file aside and writing its copy leaves only the backup.
  db.Config().Execute("insert into tblAutoresponders (AutoresponderName, Active) values ('kept', -1)");
  db.Config().Close();
  ASSERT_EQ(std::rename((db.Folder() + "/autoresponder.sto").c_str(), (db.Folder() + "/autoresponder.bak").c_str()), 0);
  ControlProgram program("", boxes, log, starter);
  ASSERT_TRUE(program.StartUp());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, kProblemTextA);
  EXPECT_EQ(boxes.shown[0].title, "Autoresponder Database Problem");
  EXPECT_EQ(program.Main().Scalar("select AutoresponderName from tblAutoresponders").AsText(), "kept");
}

// A database from before the SMTPSessions column gets it at start, empty (one session
// at a time, as before); a later start finds it there and changes nothing.
TEST_F(ControlStartUp, AnOldDatabaseGetsTheSessionsColumn) {
  db.Config().Execute("ALTER TABLE tblConfiguration DROP COLUMN SMTPSessions");
  db.Config().Execute("update tblConfiguration set SMTPServer='kept.example.com'");
  db.Config().Close();
  for (int start = 0; start < 2; ++start) {
    ControlProgram program("", boxes, log, starter);
    ASSERT_TRUE(program.StartUp()) << start;
    const RowSet row = program.Main().Query("select * from tblConfiguration");
    ASSERT_TRUE(row.HasField("SMTPSessions"));
    EXPECT_EQ(row.Field("SMTPServer").AsText(), "kept.example.com");
    if (start == 0) {
      EXPECT_TRUE(row.Field("SMTPSessions").IsNull());
      program.Main().Execute("update tblConfiguration set SMTPSessions=8");
    } else {
      EXPECT_EQ(row.Field("SMTPSessions"), Value(8)) << "left as it was";
    }
  }
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ControlStartUp, AStopRequestEndsStartUpAtASafePoint) {
  // Requested while the first database is being compacted: that copy is finished, the
  // second database is left as it was, and the service ends without opening anything.
  db.Config().Close();
  db.Subscribers().Close();
  bool stop = false;
  ControlProgram service("/s", boxes, log, starter);
  service.stopRequested = [&] { return stop; };
  service.compactForTests = [&](const std::string& from, const std::string& to) {
    VacuumInto(from, to);
    stop = true;
  };
  EXPECT_FALSE(service.StartUp());
  EXPECT_EQ(service.ExitCode(), kControlExitNormal);
  EXPECT_FALSE(service.Main().IsOpen());
  EXPECT_TRUE(FileExists(db.Folder() + "/autoresponder.bak"));
  EXPECT_FALSE(FileExists(db.Folder() + "/subscribers.bak"));
  ASSERT_EQ(log.entries.size(), 1u);
  EXPECT_EQ(log.entries[0].text, "Autoresponder stopping");
  EXPECT_EQ(log.entries[0].eventNumber, kEventStopping);
}

TEST_F(ControlStartUp, DebugSwitchAndItsMenuCheckMark) {
  ControlProgram program("/d", boxes, log, starter);
  ASSERT_TRUE(program.StartUp());
  EXPECT_TRUE(DebugSwitch());
  // The check mark starts cleared, so the first flip leaves debugging on.
  EXPECT_TRUE(program.FlipDebugMode());
  EXPECT_TRUE(DebugSwitch());
  EXPECT_FALSE(program.FlipDebugMode());
  EXPECT_FALSE(DebugSwitch());
  const std::string trace = test::ReadWholeFile(db.Folder() + "/debug/trace.log");
  EXPECT_NE(trace.find(" Application path: "), std::string::npos);
  EXPECT_EQ(trace.find("Checking previous instance"), std::string::npos) << "written before the switch was on";
}

TEST_F(ControlStartUp, ServiceNotificationsAndMessages) {
  ControlProgram service("/s", boxes, log, starter);
  ASSERT_TRUE(service.StartUp());
  service.ServiceStarted();
  service.ServiceStarted();
  service.Messages().ShowMessage("No SMTP server has been set", "No SMTP Server", MessageIcon::Critical);
  service.ServiceStopping();
  ASSERT_EQ(log.entries.size(), 3u);
  EXPECT_EQ(log.entries[0].text, "Autoresponder starting");
  EXPECT_EQ(log.entries[0].eventNumber, 101);
  EXPECT_EQ(log.entries[1].text, "No SMTP server has been set");
  EXPECT_EQ(log.entries[1].eventNumber, 107);
  EXPECT_EQ(log.entries[2].text, "Autoresponder stopping");
  EXPECT_EQ(log.entries[2].eventNumber, 102);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ControlStartUp, MenuCommandsWithoutAWindow) {
  ControlProgram program("", boxes, log, starter);
  ASSERT_TRUE(program.StartUp());
  EXPECT_EQ(MainCaption(), "Autoresponder - Version " + VersionText());
  program.RunEventProcessing();
  ASSERT_EQ(starter.programs.size(), 1u);
  EXPECT_EQ(starter.programs[0], program.ProgramFolder() + "/ostrel");
  EXPECT_EQ(boxes.shown.back().text, "Run event checking for all autoresponders has been queued");
  // No monitor next to this program: reported to the caller, nothing started.
  EXPECT_THROW(program.RunMonitorSystem(), std::runtime_error);
  EXPECT_EQ(starter.programs.size(), 1u);
}

}  // namespace
}  // namespace ar
