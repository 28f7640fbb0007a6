// The thread a server test runs on: its lines and its end reach the listener, and a test
// abandoned by its window goes on to its end without telling anyone, then is joined.
#include "control/servers/ServerCheckRunner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

namespace ar {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

constexpr auto kGenerous = 10s;

// What the listener heard, from the runner's thread.
struct Heard {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::string> lines;
  bool finished = false;

  ServerCheckRunner::Listener Listener() {
    return {[this](const std::string& line) {
              std::lock_guard lock(mutex);
              lines.push_back(line);
              changed.notify_all();
            },
            [this] {
              std::lock_guard lock(mutex);
              finished = true;
              changed.notify_all();
            }};
  }
  bool WaitFor(const std::function<bool()>& condition) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, kGenerous, condition);
  }
};

// A latch that the test opens, standing for a socket call that has not returned yet.
struct Latch {
  std::mutex mutex;
  std::condition_variable opened;
  bool open = false;
  void Open() {
    std::lock_guard lock(mutex);
    open = true;
    opened.notify_all();
  }
  void Wait() {
    std::unique_lock lock(mutex);
    opened.wait(lock, [this] { return open; });
  }
};

TEST(ServerCheckRunner, ListsTheLinesThenFinishesAndClosesOnlyWhenTheWindowGoes) {
  Heard heard;
  std::atomic<bool> closed{false};
  auto runner = std::make_unique<ServerCheckRunner>(
      ServerDialogue{[](const ListLine& list, std::stop_token) {
                       list("one");
                       list("two");
                     },
                     [&closed] { closed = true; }},
      heard.Listener());
  ASSERT_TRUE(heard.WaitFor([&] { return heard.finished; }));
  EXPECT_THAT(heard.lines, ElementsAre("one", "two"));
  EXPECT_FALSE(closed) << "the login stays until the window closes";

  runner.reset();
  EXPECT_TRUE(ServerCheckRunner::WaitForAbandoned(kGenerous));
  EXPECT_TRUE(closed);
  EXPECT_EQ(ServerCheckRunner::AbandonedRunning(), 0);
}

TEST(ServerCheckRunner, AnAbandonedTestTellsNothingMoreAndIsJoinedWhenItEnds) {
  Heard heard;
  Latch socketCall;
  std::atomic<bool> stopSeen{false};
  auto runner = std::make_unique<ServerCheckRunner>(
      ServerDialogue{[&](const ListLine& list, std::stop_token stop) {
                       list("Connecting to: silent.test");
                       socketCall.Wait();
                       stopSeen = stop.stop_requested();
                       list("Error connecting to SMTP Server");
                     },
                     {}},
      heard.Listener());
  ASSERT_TRUE(heard.WaitFor([&] { return !heard.lines.empty(); }));

  runner.reset();  // returns at once, while the socket call still waits
  EXPECT_EQ(ServerCheckRunner::AbandonedRunning(), 1);
  socketCall.Open();
  EXPECT_TRUE(ServerCheckRunner::WaitForAbandoned(kGenerous));
  EXPECT_TRUE(stopSeen);
  std::lock_guard lock(heard.mutex);
  EXPECT_THAT(heard.lines, ElementsAre("Connecting to: silent.test"));
  EXPECT_FALSE(heard.finished);
}

}  // namespace
}  // namespace ar
