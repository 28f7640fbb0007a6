// The real velquin program without any display: first start, service mode under a stop
// request, and the single-instance rule.
#include "store/DataFolder.h"
#include "store/DatabaseFiles.h"
#include "store/PresenceMarker.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TestDatabases.h"

#include <gtest/gtest.h>
#include <signal.h>

namespace ar {
namespace {

std::vector<std::string> NoDisplay(const std::string& folder) {
  return {"AUTORESPONDER_DATA=" + folder, "AUTORESPONDER_TIMER_MS=100", "DISPLAY=", "WAYLAND_DISPLAY=",
          "QT_QPA_PLATFORM=", "AUTORESPONDER_DB_TIMEOUT_MS=10000"};
}

TEST(Velquin, FirstStartSeedsAndCompactsTheDatabases) {
  test::TempFolder data;
  const test::ProcessResult r = test::RunProgram("velquin", {}, NoDisplay(data.Path()));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  for (const char* f : {"autoresponder.sto", "autoresponder.bak", "subscribers.sto", "subscribers.bak"})
    EXPECT_TRUE(FileExists(data.File(f))) << f;
  for (const char* d : {"templates", "debug", "content", "reports"}) EXPECT_TRUE(FolderExists(data.File(d))) << d;
  DatabaseFiles files;
  files.Open(data.Path());
  EXPECT_EQ(files.config.Query("select * from tblConfiguration").Count(), 1u);
}

TEST(Velquin, ServiceModeStartsRunsAndStopsOnRequest) {
  test::TempFolder data;
  ASSERT_TRUE(CopyFile(std::string(AR_BIN_DIR) + "/autoresponder.tem", AutoresponderDbPath(data.Path())));
  ASSERT_TRUE(CopyFile(std::string(AR_BIN_DIR) + "/subscribers.tem", SubscribersDbPath(data.Path())));
  {
    // Every tick attempts a run; with no SMTP server the run records just that.
    DatabaseFiles files;
    files.Open(data.Path());
    files.config.Execute("update tblConfiguration set POPCycleMinutes=-1, SMTPServer=''");
  }
  test::Subprocess service("velquin", {"/s"}, NoDisplay(data.Path()));
  ASSERT_TRUE(test::WaitUntil([&] { return PresenceMarker::Exists("velquin", data.Path()); }));

  const test::ProcessResult second = test::RunProgram("velquin", {"/s"}, NoDisplay(data.Path()));
  EXPECT_EQ(second.exitCode, 1);
  const test::ProcessResult window = test::RunProgram("velquin", {}, NoDisplay(data.Path()));
  EXPECT_EQ(window.exitCode, 1);
  EXPECT_NE(window.err.find("A previous instance of Autoresponder is already running"), std::string::npos) << window.err;

  // The processor ran: it found no SMTP server and recorded the problem.
  EXPECT_TRUE(test::WaitUntil([&] {
    DatabaseFiles files;
    files.Open(data.Path());
    return NullToDefault(files.config.Scalar("select LastSMTPStatus from tblStatus"), int64_t{0}) == -1;
  }));
  ASSERT_EQ(::kill(service.Pid(), SIGTERM), 0);
  const test::ProcessResult r = service.Wait(std::chrono::seconds(20));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(test::ReadWholeFile(data.File("debug/trace.log")).find(" Previous service already running\r\n"),
            std::string::npos);
  EXPECT_FALSE(PresenceMarker::Exists("velquin", data.Path()));
}

TEST(Velquin, ServiceEntriesReachTheJournal) {
  if (!FileExists("/run/systemd/journal/socket") || !FileExists("/usr/bin/journalctl"))
    GTEST_SKIP() << "no systemd journal on this machine; the entries are checked through the event-log interface";
  test::TempFolder data;
  test::Subprocess service("velquin", {"/s"}, NoDisplay(data.Path()));
  ASSERT_TRUE(test::WaitUntil([&] { return PresenceMarker::Exists("velquin", data.Path()); }));
  const int pid = service.Pid();
  ::kill(pid, SIGTERM);
  EXPECT_EQ(service.Wait(std::chrono::seconds(20)).exitCode, 0);
  const std::string pidMatch = "_PID=" + std::to_string(pid);
  bool found = test::WaitUntil([&] {
    const test::ProcessResult j = test::RunSystemProgram(
        "/usr/bin/journalctl", {"--no-pager", "-o", "cat", "AUTORESPONDER_EVENT=102", pidMatch});
    return j.out.find("Autoresponder stopping") != std::string::npos;
  });
  EXPECT_TRUE(found);
}

}  // namespace
}  // namespace ar
