// The trace writer: forced and debug lines, a missing folder, and the debug switch on the command line.
#include "base/DayNumber.h"
#include "base/Trace.h"
#include "tests/support/ClockGuard.h"
#include "tests/support/TestDatabases.h"

#include <gtest/gtest.h>

namespace ar {
namespace {

class Trace : public ::testing::Test {
 protected:
  void SetUp() override { SetTraceFile(folder.File("tracepop.log")); }
  void TearDown() override {
    SetDebugSwitch(false);
    SetTraceFile("");
  }
  test::TempFolder folder;
  test::ClockGuard clock{test::Day(2026, 12, 9, 8, 7, 6)};
};

TEST_F(Trace, ForcedLinesAlwaysAndProgressLinesOnlyInDebugMode) {
  SetDebugSwitch(false);
  TracePop("progress");
  TracePop("frmProcess:Timer1_Timer: boom", true);
  SetDebugSwitch(true);
  TracePop("progress in debug");
  const std::string stamp = FormatGeneralDateTime(test::Day(2026, 12, 9, 8, 7, 6));
  EXPECT_EQ(test::ReadWholeFile(folder.File("tracepop.log")),
            stamp + " frmProcess:Timer1_Timer: boom\r\n" + stamp + " progress in debug\r\n");
}

TEST_F(Trace, AMissingFolderLosesTheProcessorsLineButFailsTheControlProgramsWriter) {
  SetTraceFile(folder.File("missing/tracepop.log"));
  EXPECT_NO_THROW(TracePop("lost", true));
  EXPECT_THROW(TraceLog("reported", true), std::runtime_error);
  EXPECT_NO_THROW(TraceLog("unforced and off: nothing to write"));
}

TEST(DebugSwitch, FoundAnywhereInEitherCase) {
  EXPECT_TRUE(CommandLineHasDebugSwitch("/d"));
  EXPECT_TRUE(CommandLineHasDebugSwitch("12/D"));
  EXPECT_TRUE(CommandLineHasDebugSwitch("x /dx"));
  EXPECT_FALSE(CommandLineHasDebugSwitch("12 d"));
  EXPECT_FALSE(CommandLineHasDebugSwitch("/"));
}

}  // namespace
}  // namespace ar
