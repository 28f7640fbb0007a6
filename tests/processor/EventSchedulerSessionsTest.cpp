// Event passes that run several SMTP sessions at once, over real loopback connections to
// a counting sink: each due subscriber gets each event once and in its order, marks as
// with one session, the failure rule, refusals that stay with their recipient, a stop,
// whole trace lines, and the setting as the pass reads it.
#include "base/DayNumber.h"
#include "base/Trace.h"
#include "mail/PosixSocket.h"
#include "processor/EventScheduler.h"
#include "store/ConfigurationRow.h"
#include "store/Schema.h"
#include "tests/support/ClockGuard.h"
#include "tests/support/CountingSmtpSink.h"
#include "tests/support/TestData.h"
#include "tests/support/TestDatabases.h"
#include "tests/support/TestRunContext.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <regex>

namespace ar {
namespace {

using test::Day;

const double kDay0 = Day(2026, 3, 2, 10, 0);

class SeveralSessions : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTraceFile(db.Folder() + "/debug/tracepop.log");
    id = db.AddAutoresponder("list", true);
    ctx = test::MakeRunContext(db, id, status, socket);
    ctx.newSocket = [this]() -> std::unique_ptr<Socket> {
      auto s = std::make_unique<PosixSocket>(TlsOptions{});
      s->SetStopToken(ctx.stop);
      return s;
    };
    socket.SetStopToken(nullptr);
  }
  void TearDown() override {
    SetDebugSwitch(false);
    SetTraceFile("");
  }

  void SetSessions(const Value& sessions) { db.Config().Execute("update tblConfiguration set SMTPSessions=?", {sessions}); }
  int64_t AddEvent(const std::string& name, int interval) {
    return test::InsertEvent(db.Config(), id,
                             {{"EventName", name}, {"EventInterval", interval}, {"Active", true}, {"Subject", name},
                              {"FromAddress", "news@example.com"}, {"FromName", "News"}, {"PlainTextOnly", true},
                              {"UseFilesForMessageBodies", false}, {"PlainTextMessage", "Hello."}});
  }
  static std::string Address(const std::string& prefix, int i) { return prefix + std::to_string(100 + i) + "@rcpt.test"; }
  // With lastEvent, the subscribers had that event on the day they were added.
  void AddSubscribers(const std::string& prefix, int count, double added, const Value& lastEvent = Value()) {
    for (int i = 0; i < count; ++i)
      test::InsertSubscriber(db.Subscribers(), id,
                             {{"EmailAddress", Address(prefix, i)}, {"AddedDate", added},
                              {"LastEventSentTime", lastEvent.IsNull() ? Value() : Value(added)},
                              {"LastAutoresponderEventID", lastEvent}});
  }
  PassEnd Pass(bool immediate) { return scheduler.ProcessEvents(id, sink.Address(), "", "", false, immediate); }
  int64_t Count(const std::string& where) {
    return db.Subscribers().Scalar("select count(*) from " + SubscriberTable(id) + " where " + where).AsInteger();
  }
  std::string LastStatus() {
    return NullToDefault(db.Config().Scalar("select LastStatus from tblAutoresponders where AutoresponderID=?", {Value(id)}), "");
  }
  int StatusLinesWith(const std::string& text) {
    int n = 0;
    for (const std::string& line : status.Lines()) n += line.find(text) != std::string::npos;
    return n;
  }

  test::TestDatabases db;
  test::ClockGuard clock{kDay0 + 5.1};
  int64_t id = 0;
  StatusList status;
  PosixSocket socket{TlsOptions{}};
  RunContext ctx;
  EventScheduler scheduler{ctx};
  test::CountingSmtpSink sink{[this](long long count) {
    if (onMessage) onMessage(count);
  }};
  std::function<void(long long)> onMessage;
};

// Holds every message that arrives after the first `after` at its final "." until
// `sessions` of them wait at once, then lets them all go: only a client that really runs
// that many sessions at once gets past it in time.
class Gate {
 public:
  Gate(int sessions, long long after) : sessions_(sessions), after_(after) {}
  void AtMessage(long long count) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (count <= after_ || opened_) return;
    ++waiting_;
    opened_ = cv_.wait_for(lock, std::chrono::seconds(30), [&] { return opened_ || waiting_ >= sessions_; });
    cv_.notify_all();
  }
  bool Opened() {
    std::lock_guard<std::mutex> lock(mutex_);
    return opened_;
  }

 private:
  const int sessions_;
  const long long after_;
  std::mutex mutex_;
  std::condition_variable cv_;
  int waiting_ = 0;
  bool opened_ = false;
};

TEST_F(SeveralSessions, EveryDueSubscriberGetsEachEventOnceAndInItsOrder) {
  SetSessions(4);
  SetDebugSwitch(true);
  const int64_t welcome = AddEvent("welcome", 0);
  AddEvent("one", 1);
  const int64_t three = AddEvent("three", 3);
  AddSubscribers("new", 30, kDay0 + 5);          // joined today: the welcome is due
  AddSubscribers("old", 30, kDay0, welcome);     // five days ago, had the welcome: a catch-up of two
  Gate gate(4, 3);
  onMessage = [&](long long count) { gate.AtMessage(count); };

  EXPECT_EQ(Pass(true), PassEnd::Completed);
  EXPECT_EQ(Pass(false), PassEnd::Completed);

  EXPECT_TRUE(gate.Opened()) << "four sessions ran at once";
  EXPECT_EQ(sink.MostOpenAtOnce(), 4) << "and never more than the setting";
  std::map<std::string, std::vector<std::string>> bySubscriber;
  for (const auto& [recipient, subject] : sink.Received()) bySubscriber[recipient].push_back(subject);
  ASSERT_EQ(bySubscriber.size(), 60u);
  for (int i = 0; i < 30; ++i) {
    EXPECT_EQ(bySubscriber[Address("new", i)], std::vector<std::string>{"welcome"}) << i;
    EXPECT_EQ(bySubscriber[Address("old", i)], (std::vector<std::string>{"one", "three"})) << i;
  }
  EXPECT_EQ(StatusLinesWith(" - Sent event email to: "), 90);
  EXPECT_EQ(Count("TempLastEventSentTime IS NULL and LastEventSentTime IS NOT NULL"), 60) << "every pass committed";
  EXPECT_EQ(Count("EmailAddress like 'new%' and LastAutoresponderEventID=" + std::to_string(welcome)), 30);
  EXPECT_EQ(Count("EmailAddress like 'old%' and LastAutoresponderEventID=" + std::to_string(three)), 30);

  // Every trace line is whole and names its session: split at each line's date-time.
  const std::string prefix = "\r\n" + FormatGeneralDateTime(NowDays()) + " ";
  std::string trace = "\r\n" + test::ReadWholeFile(db.Folder() + "/debug/tracepop.log");
  ASSERT_TRUE(trace.ends_with("\r\n"));
  trace.resize(trace.size() - 2);
  const std::regex tagged(
      R"(\[[1-4]\] (SEND HELO|(CONNECT REQUESTED|CONNECT RESPONSE|SENDING|RECEIVE|CLOSE RESPONSE): [\s\S]*))");
  int lines = 0, messages = 0;
  for (std::size_t at = trace.find(prefix); at != std::string::npos; ++lines) {
    const std::size_t next = trace.find(prefix, at + prefix.size());
    const std::string line = trace.substr(at + prefix.size(), next == std::string::npos ? std::string::npos : next - at - prefix.size());
    EXPECT_TRUE(std::regex_match(line, tagged)) << line.substr(0, 200);
    if (line.find("] SENDING: From: ") != std::string::npos) {
      ++messages;
      EXPECT_TRUE(line.ends_with("\r\n.\r\n")) << "a message is traced whole: " << line;
    }
    at = next;
  }
  EXPECT_EQ(messages, 90);
  EXPECT_GT(lines, 90 * 7);
}

TEST_F(SeveralSessions, AServerThatFailsEverySessionEndsThePassAfterThree) {
  SetSessions(8);
  AddEvent("welcome", 0);
  AddSubscribers("s", 20, kDay0 + 5);
  sink.SetGreeting("554 5.3.2 no service here");
  EXPECT_EQ(Pass(true), PassEnd::ServerFailed);
  EXPECT_EQ(sink.Connections(), 3) << "a dead server costs three sessions, as with one at a time";
  EXPECT_EQ(Count("LastEventSentTime IS NOT NULL or TempLastEventSentTime IS NOT NULL"), 0);
  EXPECT_EQ(LastStatus(), "Error: SMTP connection failed");
  EXPECT_EQ(StatusLinesWith("failed 3 sessions in a row"), 1);
}

TEST_F(SeveralSessions, ARelayGoingDownMidPassEndsItOnceTheSessionsInFlightHaveFinished) {
  SetSessions(8);
  AddEvent("welcome", 0);
  AddSubscribers("s", 60, kDay0 + 5);
  sink.FailNewSessionsAfter(20);
  EXPECT_EQ(Pass(true), PassEnd::ServerFailed);
  EXPECT_GE(sink.Count(), 20);
  EXPECT_LT(sink.Count(), 60);
  EXPECT_GT(sink.MostOpenAtOnce(), 1);
  // Every message the relay took before the end, in flight when the failures came
  // included, is marked; nothing else is.
  EXPECT_EQ(Count("LastEventSentTime IS NOT NULL or TempLastEventSentTime IS NOT NULL"), sink.Count());
  for (const auto& [key, n] : sink.Counts()) EXPECT_EQ(n, 1) << key.first;
  EXPECT_EQ(StatusLinesWith("failed 3 sessions in a row"), 1);
}

// A relay that takes five connections of one client at once refuses the sixth with a 421.
// That is its limit, not a failure: the pass goes on with fewer sessions and sends
// everything, as one session at a time would.
TEST_F(SeveralSessions, ARelayThatLimitsConnectionsGetsEveryMessageThroughFewerSessions) {
  SetSessions(64);
  AddEvent("welcome", 0);
  AddSubscribers("s", 80, kDay0 + 5);
  sink.LimitSessionsAtOnce(5);
  EXPECT_EQ(Pass(true), PassEnd::Completed);
  EXPECT_EQ(sink.Count(), 80);
  for (const auto& [key, n] : sink.Counts()) EXPECT_EQ(n, 1) << key.first;
  EXPECT_GT(sink.RefusedOverLimit(), 0) << "the limit was reached";
  EXPECT_LE(sink.MostOpenAtOnce(), 5);
  EXPECT_EQ(Count("TempLastEventSentTime IS NULL and LastEventSentTime IS NOT NULL"), 80);
  EXPECT_EQ(StatusLinesWith("failed 3 sessions in a row"), 0);
  EXPECT_EQ(LastStatus(), "");
}

// A refusal, for good or for now, is its recipient's: the other sessions go on, and the
// pass counts it as one session at a time would.
TEST_F(SeveralSessions, ARefusedRecipientDoesNotDisturbTheOthers) {
  struct Case {
    const char* reply;
    bool marked;
    const char* lastStatus;
  };
  const Case cases[] = {{"550 5.1.1 no such user here", true, ""},
                        {"451 4.7.1 greylisted, try again later", false,
                         "Error: SMTP server deferred a message, retried at next run"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    db.Config().Execute("delete from tblAutoresponderEvents");
    db.Config().Execute("update tblAutoresponders set LastStatus=''");
    db.Subscribers().Execute("delete from " + SubscriberTable(id));
    SetSessions(4);
    AddEvent(c.marked ? "hard" : "soft", 0);
    AddSubscribers(c.marked ? "h" : "g", 20, kDay0 + 5);
    const std::string refused = Address(c.marked ? "h" : "g", 7);
    sink.RefuseRecipient(refused, c.reply);
    const long long before = sink.Count();

    EXPECT_EQ(Pass(true), PassEnd::Completed);
    EXPECT_EQ(sink.Count() - before, 19) << "every other subscriber's message went";
    EXPECT_EQ(Count("LastEventSentTime IS NOT NULL"), c.marked ? 20 : 19);
    EXPECT_EQ(db.Subscribers()
                  .Scalar("select count(*) from " + SubscriberTable(id) + " where EmailAddress=? and LastEventSentTime IS NULL",
                          {refused})
                  .AsInteger(),
              c.marked ? 0 : 1);
    EXPECT_EQ(LastStatus(), c.lastStatus);
  }
}

// A stop ends the pass once the sessions in flight have ended: what the sink counted is
// exactly what was marked, and the next pass sends the rest, nobody twice. Early in the
// pass, and with the last due rows already handed over (those left unsent make it a
// stopped pass, not a completed one).
TEST_F(SeveralSessions, AStopEndsThePassWithTheSessionsInFlight) {
  SetSessions(8);
  AddEvent("welcome", 0);
  for (const int stopAt : {20, 57}) {
    SCOPED_TRACE(stopAt);
    const int64_t before = sink.Count();
    db.Subscribers().Execute("delete from " + SubscriberTable(id));
    AddSubscribers("s" + std::to_string(stopAt) + "-", 60, kDay0 + 5);
    StopToken stop;
    ctx.stop = &stop;
    onMessage = [&](long long count) {
      if (count - before == stopAt) stop.Request();
    };
    EXPECT_EQ(Pass(true), PassEnd::Stopped);
    EXPECT_GE(sink.Count() - before, stopAt);
    EXPECT_EQ(Count("LastEventSentTime IS NOT NULL"), sink.Count() - before) << "what went is exactly what is marked";

    onMessage = nullptr;
    ctx.stop = nullptr;
    EXPECT_EQ(Pass(true), PassEnd::Completed);
    EXPECT_EQ(sink.Count() - before, 60);
  }
  for (const auto& [key, n] : sink.Counts()) EXPECT_EQ(n, 1) << key.first;
}

TEST_F(SeveralSessions, TheSettingAsThePassReadsIt) {
  struct Case {
    Value stored;
    int sessions;
  };
  const Case cases[] = {{Value(), 1},     {1, 1},     {16, 16},      {64, 64},     {0, 1},
                        {-3, 1},          {65, 64},   {"many", 1},   {2.5, 1}};
  for (const Case& c : cases) {
    SetSessions(c.stored);
    EXPECT_EQ(SmtpSessionsSetting(ConfigurationRow::Read(db.Config())), c.sessions)
        << (c.stored.IsNull() ? "Null" : c.stored.AsText());
  }
  // A database that velquin has not yet brought up to date: one session at a time.
  db.Config().Execute("ALTER TABLE tblConfiguration DROP COLUMN SMTPSessions");
  EXPECT_EQ(SmtpSessionsSetting(ConfigurationRow::Read(db.Config())), 1);
  AddEvent("welcome", 0);
  AddSubscribers("s", 5, kDay0 + 5);
  EXPECT_EQ(Pass(true), PassEnd::Completed);
  EXPECT_EQ(sink.Count(), 5);
  EXPECT_EQ(sink.MostOpenAtOnce(), 1);
}

}  // namespace
}  // namespace ar
