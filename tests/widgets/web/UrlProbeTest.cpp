// The address probe against a loopback web server: what counts as reached, the time
// limit, and a late answer after it.
#include "control/events/Preflight.h"
#include "tests/control/window/WebEngineTest.h"
#include "tests/support/FakeServer.h"
#include "tests/support/LoopbackHttpServer.h"
#include "widgets/web/UrlProbe.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

namespace ar {
namespace {

constexpr int kShortLimitMs = 1500;

class UrlProbeTest : public test::WebEngineTest {};

TEST_F(UrlProbeTest, ReachedOnlyWhenTheServerAnswersWithoutAnErrorStatus) {
  test::LoopbackHttpServer server;
  UrlProbe probe;
  const struct {
    std::string address;
    bool reached;
  } cases[] = {
      {server.Url("/ok"), true},
      {server.Url("/missing"), false},  // 404 with a page of its own
      {"http://127.0.0.1:" + std::to_string(test::UnusedLoopbackPort()) + "/", false},
      {"mailto:a@example.com", false},  // never navigated
      {"file:///etc/hostname", false},
      {"http:///#top", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(probe.Responds(c.address, 10000), c.reached) << c.address;
}

TEST_F(UrlProbeTest, ANavigationPastItsLimitIsStoppedAndItsLateAnswerIgnored) {
  test::LoopbackHttpServer server(/*lateMs=*/kShortLimitMs + 500);
  UrlProbe probe;
  QElapsedTimer took;
  took.start();
  EXPECT_FALSE(probe.Responds(server.Url("/late"), kShortLimitMs));
  EXPECT_LT(took.elapsed(), kShortLimitMs + 1000);
  EXPECT_FALSE(probe.Responds(server.Url("/silent"), kShortLimitMs));
  // The late answer comes while the next addresses are tried, and changes neither.
  EXPECT_TRUE(probe.Responds(server.Url("/ok"), 10000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return server.LateOver(); }, 10000));
  EXPECT_FALSE(probe.Responds(server.Url("/missing"), 10000));
  EXPECT_TRUE(probe.Responds(server.Url("/ok"), 10000));
}

TEST_F(UrlProbeTest, AnImageWhoseServerNeverAnswersIsListedBrokenAfterFiveSeconds) {
  // The preflight check with the real probe: the wait ends at five seconds, and timers
  // (the window's repainting) go on meanwhile.
  test::LoopbackHttpServer server;
  UrlProbe probe;
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(100);
  std::vector<std::string> errors;
  QElapsedTimer took;
  took.start();
  RunPreflightCheck(
      "Subject", "smtp.example.com", {{"IMG", server.Url("/silent"), "", "", ""}},
      [&](const std::string& address) { return probe.Responds(address); },
      [&](const std::string& line, bool error) {
        if (error) errors.push_back(line);
      });
  EXPECT_GE(took.elapsed(), 5000);
  EXPECT_LT(took.elapsed(), 8000);
  EXPECT_EQ(errors, std::vector<std::string>{"Broken image - " + server.Url("/silent")});
  EXPECT_GE(ticks, 20) << "the wait let the timers run";
}

}  // namespace
}  // namespace ar
