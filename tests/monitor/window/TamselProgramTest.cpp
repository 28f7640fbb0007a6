// The built tamsel on the offscreen platform (no notification area there): one monitor
// per data folder, a second start hands over to the first, a stop signal ends it cleanly,
// and without any display it ends at once.
#include "monitor/ShowRequest.h"
#include "store/PresenceMarker.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TestDatabases.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>

namespace ar {
namespace {

std::vector<std::string> Offscreen(const std::string& folder) {
  return {"AUTORESPONDER_DATA=" + folder, "QT_QPA_PLATFORM=offscreen", "DISPLAY=", "WAYLAND_DISPLAY="};
}

TEST(Tamsel, OneMonitorPerDataFolderEndingCleanlyOnAStopSignal) {
  test::TestDatabases db;
  test::Subprocess monitor("tamsel", {"/D"}, Offscreen(db.Folder()));
  ASSERT_TRUE(test::WaitUntil([&] { return std::filesystem::exists(MonitorSocketPath(db.Folder())); }));
  EXPECT_TRUE(PresenceMarker::Exists(kMonitorWindowTitle, db.Folder()));

  // A second start asks the first for its window and ends at once.
  const test::ProcessResult second = test::RunProgram("tamsel", {}, Offscreen(db.Folder()));
  EXPECT_EQ(second.exitCode, 0) << second.err;
  EXPECT_TRUE(PresenceMarker::Exists(kMonitorWindowTitle, db.Folder()));
  EXPECT_TRUE(test::WaitUntil([&] {
    return test::ReadWholeFile(db.Folder() + "/debug/trace.log").find(" Window shown at another start's request\r\n") !=
           std::string::npos;
  })) << "the first monitor was asked for its window";

  ASSERT_EQ(::kill(monitor.Pid(), SIGTERM), 0);
  const test::ProcessResult r = monitor.Wait(std::chrono::seconds(30));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_FALSE(PresenceMarker::Exists(kMonitorWindowTitle, db.Folder()));
  EXPECT_FALSE(std::filesystem::exists(MonitorSocketPath(db.Folder())));
  const std::string trace = test::ReadWholeFile(db.Folder() + "/debug/trace.log");
  EXPECT_NE(trace.find(" Application path: " AR_BIN_DIR "\r\n"), std::string::npos) << trace;
  EXPECT_NE(trace.find(" Opening db connections\r\n"), std::string::npos) << trace;
}

TEST(Tamsel, WithoutADisplayItEndsAtOnce) {
  test::TestDatabases db;
  const test::ProcessResult r =
      test::RunProgram("tamsel", {}, {"AUTORESPONDER_DATA=" + db.Folder(), "QT_QPA_PLATFORM=", "DISPLAY=", "WAYLAND_DISPLAY="});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.err.find("tamsel: no display"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(MonitorSocketPath(db.Folder())));
}

}  // namespace
}  // namespace ar
