// The processing-run timer: the cycle, runs already active, past blackout days, the processor's command line.
#include "base/Trace.h"
#include "control/program/RunScheduler.h"
#include "store/PresenceMarker.h"
#include "tests/support/ClockGuard.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestDatabases.h"

#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace ar {
namespace {

using test::Day;

struct FakeStarter : ProcessStarter {
  struct Start { std::string program, argument; };
  std::vector<Start> starts;
  bool running = false;  // whether the last started process still runs
  bool fail = false;
  pid_t Start(const std::string& program, const std::string& argument) override {
    if (fail) throw std::runtime_error("No such file or directory");
    starts.push_back({program, argument});
    return 1000 + static_cast<pid_t>(starts.size());
  }
  bool Running(pid_t) override { return running; }
};

class Scheduling : public ::testing::Test {
 protected:
  void SetUp() override { SetTraceFile(db.Folder() + "/debug/trace.log"); }
  void TearDown() override {
    SetTraceFile("");
    SetDebugSwitch(false);
  }
  void Cycle(const Value& minutes) { db.Config().Execute("update tblConfiguration set POPCycleMinutes=?", {minutes}); }
  // Ticks at the given minutes after t0; returns the minutes at which a run started.
  std::vector<int> TickAt(std::initializer_list<int> minutes, std::function<void(int)> before = {}) {
    std::vector<int> started;
    for (int m : minutes) {
      if (before) before(m);
      const size_t count = starter.starts.size();
      SetClock(t0 + m / 1440.0);
      scheduler.TimerTick();
      if (starter.starts.size() > count) started.push_back(m);
    }
    return started;
  }

  test::TestDatabases db;
  const double t0 = Day(2026, 4, 1, 8, 0);
  test::ClockGuard clock{t0};
  FakeStarter starter;
  RunScheduler scheduler{db.Config(), "/opt/ar", db.Folder(), starter};
};

using Minutes = std::vector<int>;

TEST_F(Scheduling, CycleTable) {
  struct Case { const char* name; Value cycle; Minutes expected; };
  const Case cases[] = {
      {"Null means 15 minutes, measured from the first tick", Value(), {16, 32}},
      {"0 means 15 minutes", 0, {16, 32}},
      {"a 5 minute cycle", 5, {6, 12, 18, 24, 30}},
      {"a negative cycle attempts at every tick", -1, {0, 1, 2, 3, 6, 12, 15, 16, 18, 24, 30, 32}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Cycle(c.cycle);
    RunScheduler fresh(db.Config(), "/opt/ar", db.Folder(), starter);
    std::vector<int> started;
    for (int m : {0, 1, 2, 3, 6, 12, 15, 16, 18, 24, 30, 32}) {
      const size_t count = starter.starts.size();
      SetClock(t0 + m / 1440.0);
      fresh.TimerTick();
      if (starter.starts.size() > count) started.push_back(m);
    }
    EXPECT_EQ(started, c.expected);
  }
}

TEST_F(Scheduling, ACycleChangedWhileRunningCountsAtTheNextTick) {
  Cycle(30);
  EXPECT_EQ(TickAt({0, 10, 20}, [&](int m) { if (m == 20) Cycle(5); }), Minutes{20});
}

TEST_F(Scheduling, AnAttemptWhileARunIsActiveStartsNothingButClearsPastBlackoutDays) {
  db.Config().Execute("insert into tblBlackoutDays (BlackoutDay) values (?), (?), (?)",
                      {Day(2026, 3, 31, 23, 0), Day(2026, 4, 1, 0, 0), Day(2026, 4, 2)});
  PresenceMarker ostrel;
  ASSERT_TRUE(ostrel.Acquire("ostrel", db.Folder()));
  scheduler.StartEventProcessing(0);
  EXPECT_TRUE(starter.starts.empty());
  EXPECT_EQ(db.Config().Scalar("select count(*) from tblBlackoutDays").AsInteger(), 2);  // today's and tomorrow's
  ostrel.Release();
  scheduler.StartEventProcessing(0);
  EXPECT_EQ(starter.starts.size(), 1u);
}

TEST_F(Scheduling, NoSecondRunBetweenSpawningAndTheMarker) {
  starter.running = true;  // started, its marker not there yet
  scheduler.StartEventProcessing(0);
  scheduler.StartEventProcessing(0);
  EXPECT_EQ(starter.starts.size(), 1u);
  starter.running = false;  // it ended
  scheduler.StartEventProcessing(0);
  EXPECT_EQ(starter.starts.size(), 2u);
}

TEST_F(Scheduling, TheProcessorsCommandLine) {
  SetDebugSwitch(true);
  scheduler.StartEventProcessing(12);
  SetDebugSwitch(false);
  scheduler.StartEventProcessing(0);
  ASSERT_EQ(starter.starts.size(), 2u);
  EXPECT_EQ(starter.starts[0].program, "/opt/ar/ostrel");
  EXPECT_EQ(starter.starts[0].argument, "12/d");
  EXPECT_EQ(starter.starts[1].argument, "0");
}

TEST_F(Scheduling, AFailedStartIsTracedAndTheScheduleGoesOn) {
  Cycle(-1);
  starter.fail = true;
  EXPECT_EQ(TickAt({0}), Minutes{});
  EXPECT_NE(test::ReadWholeFile(db.Folder() + "/debug/trace.log")
                .find(" frmMain/timerProcess_Timer: Error No such file or directory\r\n"),
            std::string::npos);
  starter.fail = false;
  EXPECT_EQ(TickAt({1}), Minutes{1});
}

// The real starter with a processor that ends at once: the tick after its end collects it,
// though no run is due, so that no zombie waits for the next cycle.
TEST(PosixProcessStarter, AnEndedProcessorIsCollectedAtTheNextTick) {
  struct Recording : ProcessStarter {
    PosixProcessStarter real;
    pid_t last = -1;
    pid_t Start(const std::string& program, const std::string& argument) override {
      return last = real.Start(program, argument);
    }
    bool Running(pid_t pid) override { return real.Running(pid); }
  } starter;
  test::TestDatabases db;
  test::TempFolder programFolder;
  const std::string ostrel = programFolder.File("ostrel");
  test::WriteWholeFile(ostrel, "#!/bin/sh\nexit 0\n");
  ASSERT_EQ(::chmod(ostrel.c_str(), 0700), 0);
  db.Config().Execute("update tblConfiguration set POPCycleMinutes=600");
  RunScheduler scheduler(db.Config(), programFolder.Path(), db.Folder(), starter);
  scheduler.StartEventProcessing(0);
  ASSERT_GT(starter.last, 0);
  const std::string stat = "/proc/" + std::to_string(starter.last) + "/stat";
  auto state = [&] {
    const std::string text = test::ReadWholeFile(stat);
    const std::size_t close = text.rfind(')');
    return close == std::string::npos || close + 2 >= text.size() ? '?' : text[close + 2];
  };
  ASSERT_TRUE(test::WaitUntil([&] { return state() == 'Z'; })) << "the processor ends and waits to be collected";
  scheduler.TimerTick();
  EXPECT_FALSE(test::PathExists(stat)) << "collected by the tick";
}

TEST(PosixProcessStarter, TheChildStartsWithNoSignalBlockedOrIgnored) {
  // As velquin runs: the stop signals held back, SIGPIPE ignored. The child reports its
  // own mask and ignored set as the kernel shows them.
  test::TempFolder folder;
  const std::string script = folder.File("report-signals");
  test::WriteWholeFile(script, "#!/bin/sh\nexec grep -E '^Sig(Blk|Ign):' /proc/self/status > \"$1\"\n");
  ASSERT_EQ(::chmod(script.c_str(), 0700), 0);
  sigset_t held, saved;
  sigemptyset(&held);
  sigaddset(&held, SIGTERM);
  sigaddset(&held, SIGINT);
  ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &held, &saved), 0);
  struct sigaction ignore{}, savedPipe{};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(::sigaction(SIGPIPE, &ignore, &savedPipe), 0);

  PosixProcessStarter starter;
  const pid_t pid = starter.Start(script, folder.File("status"));
  const bool ended = test::WaitUntil([&] { return !starter.Running(pid); });

  ::sigaction(SIGPIPE, &savedPipe, nullptr);
  pthread_sigmask(SIG_SETMASK, &saved, nullptr);
  ASSERT_TRUE(ended);
  const std::string status = test::ReadWholeFile(folder.File("status"));
  unsigned long long blocked = ~0ULL, ignored = ~0ULL;
  ASSERT_EQ(std::sscanf(status.c_str(), "SigBlk: %llx SigIgn: %llx", &blocked, &ignored), 2) << status;
  EXPECT_EQ(blocked, 0u) << status;
  // Signals 1 to 31; the C library keeps two real-time signals of its own ignored.
  EXPECT_EQ(ignored & 0x7fffffffULL, 0u) << status;
}

}  // namespace
}  // namespace ar
