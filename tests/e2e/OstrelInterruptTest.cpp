// The record of what a pass sent, across interruptions of the real ostrel: killed
// (SIGKILL, as a crash or a power loss would end it) or stopped (SIGTERM, as the service
// is stopped) at points of its passes over subscribers due for an immediate event and
// for a catch-up of two, then run again until nothing is due. A sink on loopback counts
// every message it accepted: each subscriber gets each due event; a kill may repeat only
// the messages in flight (one per session that runs at once), a stop repeats none.
#include "tests/support/CountingSmtpSink.h"
#include "tests/support/OstrelFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <iostream>
#include <random>
#include <thread>

namespace ar {
namespace {

using test::OstrelFolder;

struct Interruption {
  long long atMessage;  // the sink's count when the signal goes
  bool inFlight;        // from the sink, before its reply; else from outside, a moment later
};

class OstrelInterrupted : public ::testing::Test {
 protected:
  // fresh subscribers joined today (the immediate event is due); old ones joined five
  // days ago and had it (the events of one and three days are due).
  void Seed(int fresh, int old, int sessions) {
    fresh_ = fresh;
    old_ = old;
    folder.SetSmtpServer(sink.Address());
    folder.ConfigExecute("update tblConfiguration set SMTPSessions=?", {sessions});
    id = folder.AddAutoresponder("news");
    const int64_t welcome = folder.AddEvent(id, "welcome", 0);
    folder.AddEvent(id, "one", 1);
    folder.AddEvent(id, "three", 3);
    folder.AddSubscribers(id, "new", fresh, 0);
    folder.AddSubscribers(id, "old", old, 5, Value(welcome));
  }
  long long Due() const { return fresh_ + 2LL * old_; }

  // Runs ostrel to its end; returns its exit code.
  int RunOstrel() {
    test::Subprocess ostrel("ostrel", {"0"}, folder.Environment());
    running = ostrel.Pid();
    const int exitCode = ostrel.Wait(std::chrono::minutes(5)).exitCode;
    running = -1;
    return exitCode;
  }

  // Runs ostrel once for each interruption, signalling it at that point; returns the exit
  // code of every run that was signalled.
  std::vector<int> InterruptedRuns(int signal, const std::vector<Interruption>& points) {
    std::vector<int> exitCodes;
    for (const Interruption& p : points) {
      const long long target = std::max(p.atMessage, sink.Count() + 1);
      signal_ = signal;
      signalled_ = false;
      killAt_ = p.inFlight ? target : -1;
      std::atomic<bool> ended{false};
      std::thread outside;
      if (!p.inFlight)
        outside = std::thread([&, target] {
          test::WaitUntil([&] { return (sink.Count() >= target && running > 0) || ended; }, std::chrono::minutes(5));
          if (!ended) Signal();
        });
      const int exitCode = RunOstrel();
      ended = true;
      if (outside.joinable()) outside.join();
      killAt_ = -1;
      if (signalled_) exitCodes.push_back(exitCode);
      AfterInterruption(exitCode);
    }
    return exitCodes;
  }
  virtual void AfterInterruption(int) {}

  struct Tally {
    long long messages = 0, duplicates = 0;
    int missing = 0, unexpected = 0;
  };
  Tally Count() const {
    const auto counts = sink.Counts();
    Tally t;
    for (const auto& [key, n] : counts) {
      t.messages += n;
      t.duplicates += n - 1;
    }
    for (int i = 0; i < fresh_; ++i) t.missing += !counts.contains({OstrelFolder::Address("new", i), "welcome"});
    for (int i = 0; i < old_; ++i)
      for (const char* event : {"one", "three"}) t.missing += !counts.contains({OstrelFolder::Address("old", i), event});
    t.unexpected = static_cast<int>(static_cast<long long>(counts.size()) - Due() + t.missing);
    return t;
  }
  long long UnfinishedRows() const {
    return folder
        .SubscriberScalar("select count(*) from [" + std::to_string(id) +
                          "] where TempLastEventSentTime IS NOT NULL or LastEventSentTime IS NULL")
        .AsInteger();
  }

  // Runs until nothing is due, then checks the record of the kills.
  void CheckAfterKills(const std::vector<int>& kills, int sessions) {
    for (int run = 0; run < 2; ++run) ASSERT_EQ(RunOstrel(), 0);
    const Tally t = Count();
    std::cout << "sessions: " << sessions << ", kills: " << kills.size() << ", messages counted: " << t.messages
              << " (" << Due() << " due), duplicates: " << t.duplicates << std::endl;
    RecordProperty("kills", static_cast<int>(kills.size()));
    RecordProperty("messages", std::to_string(t.messages));
    RecordProperty("duplicates", std::to_string(t.duplicates));
    EXPECT_GE(kills.size(), 3u) << "the kills landed in passes";
    for (int code : kills) EXPECT_EQ(code, 128 + SIGKILL);
    EXPECT_LE(t.duplicates, static_cast<long long>(kills.size()) * sessions)
        << "only the messages in flight at a kill go twice";
    EXPECT_EQ(t.missing, 0) << "every due event reached every subscriber";
    EXPECT_EQ(t.unexpected, 0) << "and nothing that was not due";
    EXPECT_EQ(UnfinishedRows(), 0);
  }

  void Signal() {
    const int pid = running;
    if (pid > 0 && !signalled_.exchange(true)) ::kill(pid, signal_);
  }

  OstrelFolder folder;
  int64_t id = 0;
  std::atomic<int> running{-1};
  test::CountingSmtpSink sink{[this](long long count) {
    if (count == killAt_) Signal();
  }};

 private:
  int fresh_ = 0, old_ = 0;
  std::atomic<long long> killAt_{-1};
  std::atomic<int> signal_{SIGKILL};
  std::atomic<bool> signalled_{false};
};

// Points spread at random over the messages due, alternately in flight and from outside.
std::vector<Interruption> RandomPoints(int n, long long due, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<long long> at;
  for (int k = 0; k < n; ++k) at.push_back(std::uniform_int_distribution<long long>(1, due - 1)(random));
  std::sort(at.begin(), at.end());
  std::vector<Interruption> points;
  for (int k = 0; k < n; ++k) points.push_back({at[k], k % 2 == 0});
  return points;
}

// Kills at random points, then runs until nothing is due: only the messages in flight at
// a kill, at most one per session, go twice.
TEST_F(OstrelInterrupted, KilledAtRandomPointsEverySubscriberGetsEachDueEventOnce) {
  Seed(5000, 5000, 1);
  const std::vector<int> kills = InterruptedRuns(SIGKILL, RandomPoints(6, Due(), 20260310));
  CheckAfterKills(kills, 1);
}

TEST_F(OstrelInterrupted, KilledWithEightSessionsAtOnceEverySubscriberGetsEachDueEventOnce) {
  Seed(3000, 3000, 8);
  const std::vector<int> kills = InterruptedRuns(SIGKILL, RandomPoints(6, Due(), 20260311));
  CheckAfterKills(kills, 8);
  EXPECT_GT(sink.MostOpenAtOnce(), 1) << "the sessions ran at once";
  EXPECT_LE(sink.MostOpenAtOnce(), 8);
}

class OstrelStopped : public OstrelInterrupted {
 protected:
  // Each stopped run ends as a run does: its end time and the stop are recorded.
  void AfterInterruption(int exitCode) override {
    if (exitCode != 0) ADD_FAILURE() << "ostrel ended with " << exitCode;
    const double end = NullToDefault(folder.ConfigScalar("select LastOstrelRun from tblStatus"), 0.0);
    EXPECT_GT(end, lastEnd_);
    lastEnd_ = end;
  }
  // Three runs stopped at points of their passes, then one to the end: nothing twice.
  void StopLoop(int sessions) {
    Seed(600, 600, sessions);
    const std::vector<int> stops = InterruptedRuns(SIGTERM, {{150, true}, {700, false}, {1300, true}});
    EXPECT_EQ(stops.size(), 3u);
    EXPECT_EQ(NullToDefault(folder.ConfigScalar("select LastStatus from tblAutoresponders"), ""),
              "Stopped before all due messages were sent");
    ASSERT_EQ(RunOstrel(), 0);

    const Tally t = Count();
    EXPECT_EQ(t.duplicates, 0);
    EXPECT_EQ(t.missing, 0);
    EXPECT_EQ(t.unexpected, 0);
    EXPECT_EQ(UnfinishedRows(), 0);
  }
  double lastEnd_ = 0;
};

TEST_F(OstrelStopped, AStoppedRunEndsCleanlyAndSendsNothingTwice) { StopLoop(1); }

TEST_F(OstrelStopped, WithEightSessionsAtOnceAStoppedRunSendsNothingTwice) { StopLoop(8); }

}  // namespace
}  // namespace ar
