// One processing run: its phases, statuses, blackout days, the time of day, stop requests and errors.
#include "base/Trace.h"
#include "processor/ProcessRun.h"
#include "tests/support/ClockGuard.h"
#include "tests/support/TestDatabases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <stdexcept>
#include <vector>

namespace ar {
namespace {

using test::Day;

struct FakeMailbox : MailboxReader {
  struct Call { std::string server, user, password; bool tls; int64_t id; std::string type, folder; };
  std::vector<Call> calls;
  std::function<void()> onRead;
  void ReadPOP(const std::string& server, const std::string& user, const std::string& password, bool tls, int64_t id,
               const std::string& type, const std::string& folder) override {
    calls.push_back({server, user, password, tls, id, type, folder});
    if (onRead) onRead();
  }
};

struct FakeEvents : EventProcessor {
  struct Call { int64_t id; bool immediate; std::string server, user, password; bool tls; };
  std::vector<Call> calls;
  int failOnCall = -1;  // throw on this call (0-based), as a failing statement would
  std::map<int, PassEnd> ends;  // how a call (0-based) ends; Completed when not listed
  std::function<void()> onPass;
  PassEnd ProcessEvents(int64_t id, const std::string& server, const std::string& user, const std::string& password,
                        bool tls, bool immediate) override {
    if (static_cast<int>(calls.size()) == failOnCall) throw std::runtime_error("no such table: [42]");
    calls.push_back({id, immediate, server, user, password, tls});
    if (onPass) onPass();
    const auto end = ends.find(static_cast<int>(calls.size()) - 1);
    return end == ends.end() ? PassEnd::Completed : end->second;
  }
  std::vector<std::pair<int64_t, bool>> Passes() const {
    std::vector<std::pair<int64_t, bool>> out;
    for (const Call& c : calls) out.emplace_back(c.id, c.immediate);
    return out;
  }
};

class ProcessRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTraceFile(db.Folder() + "/debug/tracepop.log");
    db.Config().Execute(
        "update tblConfiguration set SMTPServer='smtp.example:2525', SMTPUsername='u', SMTPPassword='p', EnableSMTPSSL=-1");
    ctx.dataFolder = db.Folder();
    ctx.config = &db.Config();
    ctx.subscribers = &db.Subscribers();
    ctx.status = &status;
  }
  void TearDown() override { SetTraceFile(""); }

  RunOutcome RunFor(int64_t id) {
    ProcessRun run(ctx, mailbox, events, id);
    run.StartUp();
    const RunOutcome outcome = run.Run();
    EXPECT_FALSE(db.Config().IsOpen()) << "the run closes its connections";
    db.Reopen();
    return outcome;
  }
  std::string StatusOf(int64_t id) {
    return NullToDefault(db.Config().Scalar("select LastStatus from tblAutoresponders where AutoresponderID=?",
                                            {static_cast<long long>(id)}),
                         "<null>");
  }
  Value Status(const char* column) { return db.Config().Scalar(std::string("select ") + column + " from tblStatus"); }
  std::string Trace() { return test::ReadWholeFile(db.Folder() + "/debug/tracepop.log"); }
  std::vector<std::string> Messages() {
    std::vector<std::string> out;
    for (const std::string& line : status.Lines()) out.push_back(line.substr(line.find(" - ") + 3));
    return out;
  }

  test::TestDatabases db;
  test::ClockGuard clock{Day(2026, 3, 10, 12, 0)};
  StatusList status;
  RunContext ctx;
  FakeMailbox mailbox;
  FakeEvents events;
};

TEST_F(ProcessRunTest, AllAutorespondersBothPhasesAndTheEndTime) {
  mailbox.onRead = [&] { ctx.newSubscribers += 3; };
  events.onPass = [&] { ctx.emailsSent += events.calls.size() == 1 ? 7 : 0; };
  const int64_t active = db.AddAutoresponder("active", true, "pop.example");
  const int64_t noMailbox = db.AddAutoresponder("no mailbox", true);
  const int64_t inactive = db.AddAutoresponder("inactive", false, "pop.example");
  db.Config().Execute("update tblAutoresponders set LastStatus='Error: old'");
  db.Config().Execute("update tblStatus set LastSMTPStatus=-1, LastPOPStatus=-1");

  EXPECT_EQ(RunFor(0), RunOutcome::Completed);

  ASSERT_EQ(mailbox.calls.size(), 1u);
  const FakeMailbox::Call& m = mailbox.calls[0];
  EXPECT_EQ(m.server, "pop.example");
  EXPECT_EQ(m.user, "user");
  EXPECT_EQ(m.password, "secret");
  EXPECT_EQ(m.id, active);
  EXPECT_EQ(m.type, "POP3");
  // Every autoresponder, active or not, gets both passes.
  using P = std::vector<std::pair<int64_t, bool>>;
  EXPECT_EQ(events.Passes(), (P{{active, true}, {active, false}, {noMailbox, true}, {noMailbox, false},
                                {inactive, true}, {inactive, false}}));
  EXPECT_EQ(events.calls[0].server, "smtp.example:2525");
  EXPECT_EQ(events.calls[0].user, "u");
  EXPECT_EQ(events.calls[0].password, "p");
  EXPECT_TRUE(events.calls[0].tls);

  EXPECT_EQ(StatusOf(active), "OK");
  EXPECT_EQ(StatusOf(noMailbox), "OK");
  EXPECT_EQ(StatusOf(inactive), "");
  EXPECT_EQ(Status("LastSMTPStatus").AsInteger(), 0);
  EXPECT_EQ(Status("LastPOPStatus").AsInteger(), 0);
  EXPECT_DOUBLE_EQ(Status("LastOstrelRun").AsReal(), Day(2026, 3, 10, 12, 0));
  // The run's counts, as its parts kept them, recorded with its end time.
  EXPECT_EQ(Status("LastNewSubscribers").AsInteger(), 3);
  EXPECT_EQ(Status("LastEmailsSent").AsInteger(), 7);
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Processing all autoresponders", "Adding new subscribers",
                                                  "Processing event emails", "POP check completed"}));
}

TEST_F(ProcessRunTest, OneAutoresponderOnlyButEveryStatusCleared) {
  const int64_t a = db.AddAutoresponder("a", true, "pop.a");
  const int64_t b = db.AddAutoresponder("b", true, "pop.b");
  db.Config().Execute("update tblAutoresponders set LastStatus='stale'");
  RunFor(b);
  ASSERT_EQ(mailbox.calls.size(), 1u);
  EXPECT_EQ(mailbox.calls[0].id, b);
  EXPECT_EQ(events.Passes(), (std::vector<std::pair<int64_t, bool>>{{b, true}, {b, false}}));
  EXPECT_EQ(StatusOf(a), "");
  EXPECT_EQ(StatusOf(b), "OK");
  EXPECT_EQ(Messages().front(), "Processing autoresponder ID: " + std::to_string(b));
}

TEST_F(ProcessRunTest, AnIdentifierThatMatchesNoRowOnlyClearsAndStamps) {
  const int64_t a = db.AddAutoresponder("a", true, "pop.a");
  db.Config().Execute("update tblAutoresponders set LastStatus='stale'");
  RunFor(999);
  EXPECT_TRUE(mailbox.calls.empty());
  EXPECT_TRUE(events.calls.empty());
  EXPECT_EQ(StatusOf(a), "");
  EXPECT_FALSE(Status("LastOstrelRun").IsNull());
}

TEST_F(ProcessRunTest, BlackoutDaySendsNothingButStillReadsMailboxes) {
  db.AddAutoresponder("a", true, "pop.a");
  db.Config().Execute("insert into tblBlackoutDays (BlackoutDay) values (?)", {Day(2026, 3, 10, 18, 30)});
  RunFor(0);
  EXPECT_EQ(mailbox.calls.size(), 1u);
  EXPECT_TRUE(events.calls.empty());
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Processing all autoresponders", "Adding new subscribers",
                                                  "POP check completed"}));
  EXPECT_FALSE(Status("LastOstrelRun").IsNull());
}

TEST_F(ProcessRunTest, NoSmtpServerEndsTheRunBeforeAnything) {
  db.AddAutoresponder("a", true, "pop.a");
  db.Config().Execute("update tblAutoresponders set LastStatus='kept'");
  db.Config().Execute("update tblConfiguration set SMTPServer=NULL");
  EXPECT_EQ(RunFor(0), RunOutcome::SmtpServerNotSpecified);
  EXPECT_TRUE(mailbox.calls.empty());
  EXPECT_TRUE(events.calls.empty());
  EXPECT_EQ(Messages(), std::vector<std::string>{"Error: SMTP server not specified"});
  EXPECT_EQ(Status("LastSMTPStatus").AsInteger(), -1);
  EXPECT_TRUE(Status("LastOstrelRun").IsNull());
  EXPECT_EQ(StatusOf(1), "kept");
}

TEST_F(ProcessRunTest, AnErrorStopsTheRunButStillStampsItAndTraces) {
  const int64_t a = db.AddAutoresponder("a", true);
  db.AddAutoresponder("b", true);
  events.failOnCall = 1;  // a's delayed pass fails
  EXPECT_EQ(RunFor(0), RunOutcome::Completed);
  EXPECT_EQ(events.Passes(), (std::vector<std::pair<int64_t, bool>>{{a, true}}));
  EXPECT_NE(Trace().find(" frmProcess:Timer1_Timer: no such table: [42]\r\n"), std::string::npos);
  EXPECT_FALSE(Status("LastOstrelRun").IsNull());
  EXPECT_EQ(Messages().back(), "POP check completed");
}

TEST_F(ProcessRunTest, TimeOfDayGovernsTheDelayedPassAndRecordsItsTime) {
  const int64_t timed = db.AddAutoresponder("timed", true);
  const int64_t broken = db.AddAutoresponder("broken", true);
  db.Config().Execute("update tblAutoresponders set TimeOfDayToRespond='9:00am', LastRespondTime=? where AutoresponderID=?",
                      {Day(2026, 3, 9, 10, 0), static_cast<long long>(timed)});
  db.Config().Execute("update tblAutoresponders set TimeOfDayToRespond='whenever' where AutoresponderID=?",
                      {static_cast<long long>(broken)});
  using P = std::vector<std::pair<int64_t, bool>>;

  SetClock(Day(2026, 3, 10, 9, 0, 30));
  RunFor(0);
  EXPECT_EQ(events.Passes(), (P{{timed, true}, {broken, true}}));
  EXPECT_NE(Trace().find("TimeOfDayToRespond is not a time of day: whenever"), std::string::npos);

  events.calls.clear();
  SetClock(Day(2026, 3, 10, 9, 1));
  RunFor(0);
  EXPECT_EQ(events.Passes(), (P{{timed, true}, {timed, false}, {broken, true}}));
  EXPECT_DOUBLE_EQ(db.Config().Scalar("select LastRespondTime from tblAutoresponders where AutoresponderID=?",
                                      {static_cast<long long>(timed)}).AsReal(),
                   Day(2026, 3, 10, 9, 1));

  events.calls.clear();
  SetClock(Day(2026, 3, 10, 17, 0));
  RunFor(0);
  EXPECT_EQ(events.Passes(), (P{{timed, true}, {broken, true}}));
}

// A pass that ended early (a failing server, an error) leaves its time of day unspent:
// the next run tries the delayed pass again instead of a day later. The autoresponders
// after it are still tried.
TEST_F(ProcessRunTest, AnUnfinishedDelayedPassIsTriedAgainAtTheNextRun) {
  const int64_t timed = db.AddAutoresponder("timed", true);
  const int64_t other = db.AddAutoresponder("other", true);
  db.Config().Execute("update tblAutoresponders set TimeOfDayToRespond='9:00am' where AutoresponderID=?",
                      {static_cast<long long>(timed)});
  using P = std::vector<std::pair<int64_t, bool>>;
  auto lastRespond = [&] {
    return db.Config().Scalar("select LastRespondTime from tblAutoresponders where AutoresponderID=?",
                              {static_cast<long long>(timed)});
  };
  for (PassEnd end : {PassEnd::ServerFailed, PassEnd::Error}) {
    events.calls.clear();
    events.ends = {{1, end}};  // timed's delayed pass
    RunFor(0);
    EXPECT_EQ(events.Passes(), (P{{timed, true}, {timed, false}, {other, true}, {other, false}}));
    EXPECT_TRUE(lastRespond().IsNull());
  }
  events.calls.clear();
  events.ends.clear();
  RunFor(0);
  EXPECT_DOUBLE_EQ(lastRespond().AsReal(), Day(2026, 3, 10, 12, 0));
}

// SIGTERM during a run: the pass in hand ends (the scheduler sees the same request), the
// rest of the run is skipped, and the run is still recorded.
TEST_F(ProcessRunTest, AStopRequestEndsTheRunAndIsRecorded) {
  const int64_t a = db.AddAutoresponder("a", true, "pop.a");
  const int64_t b = db.AddAutoresponder("b", true, "pop.b");
  StopToken stop;
  ctx.stop = &stop;
  events.ends = {{0, PassEnd::Stopped}};  // a's immediate pass was stopped
  RunFor(0);
  EXPECT_EQ(mailbox.calls.size(), 2u);
  EXPECT_EQ(events.Passes(), (std::vector<std::pair<int64_t, bool>>{{a, true}}));
  EXPECT_EQ(StatusOf(a), "Stopped before all due messages were sent");
  EXPECT_EQ(StatusOf(b), "OK");
  EXPECT_DOUBLE_EQ(Status("LastOstrelRun").AsReal(), Day(2026, 3, 10, 12, 0));
  EXPECT_EQ(Messages().back(), "POP check completed");

  // A request that came during the mailbox phase ends the run before the next mailbox.
  events.calls.clear();
  events.ends.clear();
  mailbox.calls.clear();
  mailbox.onRead = [&] { stop.Request(); };
  RunFor(0);
  EXPECT_EQ(mailbox.calls.size(), 1u);
  EXPECT_TRUE(events.calls.empty());
  const std::vector<std::string> messages = Messages();
  EXPECT_NE(std::find(messages.begin(), messages.end(), "Run stopped by request"), messages.end());
  EXPECT_FALSE(Status("LastOstrelRun").IsNull());
}

// A mark that could not be written ends the event phase for every autoresponder (their
// marks go to the same file) and is recorded; when even that cannot be written, the run
// says so to its caller, which reports it on standard error and fails.
TEST_F(ProcessRunTest, AMarkThatCannotBeWrittenStopsSendingForTheWholeRun) {
  const int64_t a = db.AddAutoresponder("a", true);
  const int64_t b = db.AddAutoresponder("b", true);
  events.ends = {{0, PassEnd::NotRecorded}};
  EXPECT_EQ(RunFor(0), RunOutcome::Completed);
  EXPECT_EQ(events.Passes(), (std::vector<std::pair<int64_t, bool>>{{a, true}}));
  EXPECT_EQ(StatusOf(a), "Error: the database cannot be written, sending stopped");
  EXPECT_EQ(StatusOf(b), "OK");
  EXPECT_EQ(Status("LastSMTPStatus").AsInteger(), -1);
  EXPECT_FALSE(Status("LastOstrelRun").IsNull());

  events.calls.clear();
  db.Config().Execute("CREATE TRIGGER full BEFORE UPDATE OF LastStatus ON tblAutoresponders WHEN NEW.LastStatus LIKE"
                      " 'Error: the database%' BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END");
  EXPECT_EQ(RunFor(0), RunOutcome::SendingStoppedUnrecorded);
}

TEST_F(ProcessRunTest, NullMailboxColumnsReadAsEmpty) {
  db.AddAutoresponder("a", true, "pop.a");
  db.Config().Execute(
      "update tblAutoresponders set POPUsername=NULL, POPPassword=NULL, EnablePOPSSL=NULL, ResponseServerType=NULL,"
      " ResponseIMAPFolder=NULL");
  RunFor(0);
  ASSERT_EQ(mailbox.calls.size(), 1u);
  EXPECT_EQ(mailbox.calls[0].user, "");
  EXPECT_FALSE(mailbox.calls[0].tls);
  EXPECT_EQ(events.calls.size(), 2u);
}

}  // namespace
}  // namespace ar
