// The event passes over days with the settable clock, and the dispatch of each message,
// against an SMTP server on an in-memory socket.
#include "base/Trace.h"
#include "mail/Addresses.h"
#include "mail/BodyFile.h"
#include "mail/MemorySocket.h"
#include "processor/EventScheduler.h"
#include "store/Schema.h"
#include "tests/support/ClockGuard.h"
#include "tests/support/MemorySmtp.h"
#include "tests/support/TestData.h"
#include "tests/support/TestDatabases.h"
#include "tests/support/TestRunContext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace ar {
namespace {

using test::Day;
using test::DeliveredMail;
using test::MemorySmtp;

struct EventSpec {
  std::string name;
  int interval;
  bool active = true;
};
struct SubscriberSpec {
  std::string address;
  double added;
  bool unsubscribed = false;
};
// A row as an interrupted pass leaves it: the last committed send, and the staged one.
struct StagedSpec {
  std::string address;
  double added;
  Value lastSent;     // LastEventSentTime
  Value stagedAt;     // TempLastEventSentTime
  std::string event;  // name of the event LastAutoresponderEventID names ("" for none, "gone" for a deleted one)
};

class EventSchedulerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTraceFile(db.Folder() + "/debug/tracepop.log");
    id = db.AddAutoresponder("list", true);
    ctx = test::MakeRunContext(db, id, status, socket);
  }
  void TearDown() override { SetTraceFile(""); }

  int64_t AddEvent(const EventSpec& e) {
    return test::InsertEvent(db.Config(), id,
                             {{"EventName", e.name}, {"EventInterval", e.interval}, {"Active", e.active},
                              {"Subject", "About " + e.name}, {"FromAddress", "News <news@example.com>"},
                              {"FromName", "News"}, {"ReplyToAddress", ""}, {"AttachmentFileName", ""},
                              {"PlainTextOnly", true}, {"UseFilesForMessageBodies", false},
                              {"PlainTextMessage", "Text of " + e.name}});
  }
  void AddStaged(const StagedSpec& s) {
    const Value eventId = s.event.empty()   ? Value()
                          : s.event == "gone" ? Value(999999)
                                              : db.Config().Scalar("select AutoresponderEventID from tblAutoresponderEvents"
                                                                   " where EventName=?",
                                                                   {s.event});
    test::InsertSubscriber(db.Subscribers(), id,
                           {{"EmailAddress", s.address}, {"AddedDate", s.added}, {"LastEventSentTime", s.lastSent},
                            {"TempLastEventSentTime", s.stagedAt}, {"LastAutoresponderEventID", eventId}});
  }
  void AddSubscriber(const SubscriberSpec& s) {
    test::InsertSubscriber(db.Subscribers(), id,
                           {{"EmailAddress", s.address}, {"AddedDate", s.added},
                            {"UnsubscribeDate", s.unsubscribed ? Value(s.added) : Value()}});
  }
  // One run at that moment with no time of day: the immediate pass, then the delayed one.
  // Returns "address:event" for every message sent.
  std::vector<std::string> RunAt(double when, const std::string& user = "") {
    SetClock(when);
    std::vector<std::string> sent;
    status.SetObserver([&](const std::string& line, bool) {
      const std::string prefix = " - Sent event email to: ";
      const size_t at = line.find(prefix);
      if (at == std::string::npos) return;
      std::string rest = line.substr(at + prefix.size());
      const size_t forEvent = rest.find(" for event ");
      sent.push_back(rest.substr(0, forEvent) + ":" + rest.substr(forEvent + 11));
    });
    scheduler.ProcessEvents(id, "smtp.example", user, user.empty() ? "" : "pw", false, true);
    scheduler.ProcessEvents(id, "smtp.example", user, user.empty() ? "" : "pw", false, false);
    return sent;
  }
  Value Column(const char* column, const std::string& address) {
    return db.Subscribers().Scalar(std::string("select ") + column + " from " + SubscriberTable(id) + " where EmailAddress=?",
                                   {address});
  }
  int64_t StagedRows() {
    return db.Subscribers()
        .Scalar("select count(*) from " + SubscriberTable(id) + " where TempLastEventSentTime IS NOT NULL")
        .AsInteger();
  }
  bool Marked(const std::string& address) {
    return !Column("LastEventSentTime", address).IsNull() || !Column("TempLastEventSentTime", address).IsNull();
  }
  void Reset() {
    db.Config().Execute("delete from tblAutoresponderEvents");
    db.Config().Execute("update tblAutoresponders set LastStatus=''");
    db.Config().Execute("update tblStatus set LastSMTPStatus=0");
    db.Subscribers().Execute("delete from " + SubscriberTable(id));
    smtp.replies.clear();
    smtp.beforeSession = nullptr;
    smtp.onMessageEnd = nullptr;
  }
  std::string LastStatus() {
    return NullToDefault(db.Config().Scalar("select LastStatus from tblAutoresponders where AutoresponderID=?", {Value(id)}), "");
  }

  test::TestDatabases db;
  test::ClockGuard clock{Day(2026, 1, 1)};
  int64_t id = 0;
  StatusList status;
  MemorySocket socket;
  test::MemorySmtp smtp{socket};
  RunContext ctx;
  EventScheduler scheduler{ctx};
};

using Sent = std::vector<std::string>;

TEST_F(EventSchedulerTest, DueMessagesOverDays) {
  struct Run { double when; Sent expected; };
  struct Case {
    const char* name;
    std::vector<EventSpec> events;
    std::vector<SubscriberSpec> subscribers;
    std::vector<Run> runs;
  };
  const double d0 = Day(2026, 3, 2, 10, 0);
  const double noon = 2.0 / 24;  // 12:00 on a day counted from d0
  const Case cases[] = {
      {"daily runs: 1 day on day 1, 3 days on day 3, nothing else",
       {{"one", 1}, {"three", 3}},
       {{"a@example.com", d0}},
       {{d0 + noon, {}}, {d0 + 1 + noon, {"a@example.com:one"}}, {d0 + 2 + noon, {}},
        {d0 + 3 + noon, {"a@example.com:three"}}, {d0 + 4 + noon, {}}, {d0 + 9 + noon, {}}}},
      {"first run on day 5: both, the shorter interval first",
       {{"three", 3}, {"one", 1}},
       {{"a@example.com", d0}},
       {{d0 + 5 + noon, {"a@example.com:one", "a@example.com:three"}}, {d0 + 6 + noon, {}}}},
      {"two events of one interval both go, in key order",
       {{"first", 2}, {"second", 2}},
       {{"a@example.com", d0}},
       {{d0 + 2 + noon, {"a@example.com:first", "a@example.com:second"}}}},
      {"an unsubscribed subscriber gets nothing",
       {{"welcome", 0}, {"one", 1}},
       {{"gone@example.com", d0, true}, {"b@example.com", d0}},
       {{d0 + noon, {"b@example.com:welcome"}}, {d0 + 1 + noon, {"b@example.com:one"}}}},
      {"added at 23:50, due after midnight",
       {{"one", 1}},
       {{"late@example.com", Day(2026, 3, 2, 23, 50)}},
       {{Day(2026, 3, 2, 23, 55), {}}, {Day(2026, 3, 3, 0, 5), {"late@example.com:one"}}}},
      {"an inactive event is skipped and holds up nothing",
       {{"off", 1, false}, {"two", 2}},
       {{"a@example.com", d0}},
       {{d0 + 1 + noon, {}}, {d0 + 2 + noon, {"a@example.com:two"}}}},
      {"several immediate events all go at the first run, then not again",
       {{"hello", 0}, {"welcome", 0}, {"one", 1}},
       {{"a@example.com", d0}, {"b@example.com", d0}},
       {{d0 + noon, {"a@example.com:hello", "b@example.com:hello", "a@example.com:welcome", "b@example.com:welcome"}},
        {d0 + noon + 0.01, {}},
        {d0 + 1 + noon, {"a@example.com:one", "b@example.com:one"}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    db.Config().Execute("delete from tblAutoresponderEvents");
    db.Subscribers().Execute("delete from " + SubscriberTable(id));
    for (const EventSpec& e : c.events) AddEvent(e);
    for (const SubscriberSpec& s : c.subscribers) AddSubscriber(s);
    for (const Run& r : c.runs) {
      EXPECT_EQ(RunAt(r.when), r.expected) << "run at " << r.when - d0;
      EXPECT_EQ(StagedRows(), 0) << "every pass commits what it staged";
    }
  }
}

// The place in the sequence decides what is due, with the age rule: a welcome that goes
// out after midnight, or one deferred while the next event is already due by age, holds
// up nothing and is never skipped. Every event goes once, in order.
TEST_F(EventSchedulerTest, EachEventOfTheSequenceGoesOnceAndInOrderWhateverTheDelays) {
  struct Run {
    double when;
    const char* rcptReply;  // nullptr: the relay takes every message
    Sent expected;
  };
  struct Case {
    const char* name;
    double added;
    std::vector<Run> runs;
  };
  const double d0 = Day(2026, 3, 2);
  const char* a = "a@example.com";
  auto sent = [&](std::initializer_list<const char*> events) {
    Sent out;
    for (const char* e : events) out.push_back(std::string(a) + ":" + e);
    return out;
  };
  const Case cases[] = {
      {"the relay was down on the day of subscribing",
       d0 + 0.5,
       {{d0 + 0.6, MemorySmtp::kDrop, {}},
        {d0 + 1.3, nullptr, sent({"welcome", "one"})},
        {d0 + 2.3, nullptr, sent({"two"})},
        {d0 + 3.3, nullptr, sent({"three"})},
        {d0 + 4.3, nullptr, {}}}},
      {"read at 23:59:57, welcomed at 00:00:02",
       Day(2026, 3, 2, 23, 59, 57),
       {{Day(2026, 3, 3, 0, 0, 2), nullptr, sent({"welcome", "one"})},
        {Day(2026, 3, 4, 0, 10), nullptr, sent({"two"})},
        {Day(2026, 3, 5, 0, 10), nullptr, sent({"three"})},
        {Day(2026, 3, 9, 0, 10), nullptr, {}}}},
      {"a greylisted welcome while day one is due",
       d0 + 0.9,
       {{d0 + 1.5, "450 4.7.1 greylisted, try again later", {}},
        {d0 + 1.51, nullptr, sent({"welcome", "one"})},
        {d0 + 1.52, nullptr, {}},
        {d0 + 3.5, nullptr, sent({"two", "three"})}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    for (const EventSpec& e : {EventSpec{"welcome", 0}, {"one", 1}, {"two", 2}, {"three", 3}}) AddEvent(e);
    AddSubscriber({a, c.added});
    std::map<std::string, int> times;
    for (const Run& r : c.runs) {
      smtp.replies.clear();
      if (r.rcptReply) smtp.replies["RCPT"] = r.rcptReply;
      const Sent got = RunAt(r.when);
      EXPECT_EQ(got, r.expected) << "run at " << r.when - d0;
      for (const std::string& m : got) ++times[m];
    }
    for (const auto& [message, n] : times) EXPECT_EQ(n, 1) << message;
  }
}

// Rows written before the place in the sequence was kept (or naming a deleted event) are
// judged by their last send time as they always were.
TEST_F(EventSchedulerTest, ARowWithoutItsPlaceIsJudgedByItsLastSendTime) {
  const double d0 = Day(2026, 3, 2, 10, 0);
  AddEvent({"welcome", 0});
  AddEvent({"one", 1});
  AddEvent({"three", 3});
  AddStaged({"old@example.com", d0, Value(d0 + 1.1), Value(), ""});      // had day one, by the old rule
  AddStaged({"gone@example.com", d0, Value(d0 + 0.1), Value(), "gone"});  // had an event since deleted
  EXPECT_EQ(RunAt(d0 + 3.1), (Sent{"gone@example.com:one", "old@example.com:three", "gone@example.com:three"}));
  EXPECT_EQ(RunAt(d0 + 9.1), Sent{});
}

TEST_F(EventSchedulerTest, WhatASendRecords) {
  AddEvent({"first", 2});
  const int64_t second = AddEvent({"second", 2});
  AddSubscriber({"a@example.com", Day(2026, 3, 2, 10, 0)});
  RunAt(Day(2026, 3, 4, 12, 0));
  EXPECT_EQ(Column("LastAutoresponderEventID", "a@example.com").AsInteger(), second);
  EXPECT_DOUBLE_EQ(Column("LastEventSentTime", "a@example.com").AsReal(), Day(2026, 3, 4, 12, 0));
  EXPECT_TRUE(Column("TempLastEventSentTime", "a@example.com").IsNull());
  ASSERT_EQ(smtp.Mails().size(), 2u);
  EXPECT_EQ(smtp.Mails()[0].mailFrom, "MAIL FROM: <news@example.com>\r\n");
  EXPECT_NE(smtp.Mails()[0].data.find("Subject: About first\r\n"), std::string::npos);
  EXPECT_NE(smtp.Mails()[0].data.find("Text of first"), std::string::npos);
  EXPECT_EQ(smtp.Quits(), 2);  // one session per message
}

TEST_F(EventSchedulerTest, AnUnreachableServerIsTriedThreeTimesAndMarksNobody) {
  AddEvent({"welcome", 0});
  for (const char* a : {"a@example.com", "b@example.com", "c@example.com", "d@example.com", "e@example.com"})
    AddSubscriber({a, Day(2026, 1, 1)});
  socket.FailEveryConnect("Connection refused");
  EXPECT_EQ(RunAt(Day(2026, 1, 1, 12, 0)), Sent{});
  EXPECT_EQ(socket.Connects().size(), 3u) << "the pass ends after three failed sessions in a row";
  EXPECT_TRUE(Column("LastEventSentTime", "a@example.com").IsNull());
  EXPECT_EQ(LastStatus(), "Error: SMTP connection failed");
  EXPECT_EQ(db.Config().Scalar("select LastSMTPStatus from tblStatus").AsInteger(), -1);
  bool logged = false;
  for (const std::string& l : status.Lines()) logged |= l.ends_with(" - Error: STMP connection failed");
  EXPECT_TRUE(logged);
  EXPECT_NE(status.Lines().back().find("failed 3 sessions in a row"), std::string::npos) << status.Lines().back();
}

// Only failures of the server count towards ending the pass: a refused recipient, for
// now or for good, is that recipient's, and breaks the run of failures.
TEST_F(EventSchedulerTest, ThreeServerFailuresInARowEndThePass) {
  AddEvent({"welcome", 0});
  for (int i = 0; i < 11; ++i) AddSubscriber({"s" + std::to_string(i) + "@example.com", Day(2026, 1, 1)});
  const std::map<int, std::pair<std::string, std::string>> sessions = {
      {0, {"GREETING", MemorySmtp::kSilent}},   {1, {"MAIL", "421 4.7.0 too many connections"}},
      {2, {"RCPT", "451 4.7.1 greylisted"}},    {3, {"END", MemorySmtp::kDrop}},
      {4, {"GREETING", "554 5.3.2 no service"}}, {5, {"RCPT", "550 5.1.1 no such user"}},
      {6, {"END", MemorySmtp::kSilent}},        {7, {"DATA", MemorySmtp::kDrop}},
      {8, {"GREETING", MemorySmtp::kDrop}}};
  smtp.beforeSession = [&](int session) {
    smtp.replies.clear();
    if (auto it = sessions.find(session); it != sessions.end()) smtp.replies[it->second.first] = it->second.second;
  };
  EXPECT_EQ(RunAt(Day(2026, 1, 1, 12, 0)), Sent{"s5@example.com:welcome"});
  EXPECT_EQ(smtp.Sessions(), 9) << "s9 and s10 are left for the next run";
  EXPECT_EQ(LastStatus(), "Error: SMTP connection failed");

  smtp.beforeSession = nullptr;
  smtp.replies.clear();
  const Sent retried = RunAt(Day(2026, 1, 1, 12, 15));
  EXPECT_EQ(retried.size(), 10u);
  EXPECT_EQ(std::count(retried.begin(), retried.end(), "s5@example.com:welcome"), 0);
  EXPECT_EQ(StagedRows(), 0);
}

// RFC 5321's reply classes: a message counts as done when the server accepted it (2xx)
// or the recipient was refused for good (a 5xx to RCPT TO, or to the message naming the
// recipient). A refusal of the sender, the session or the message would meet every
// subscriber alike: nobody is marked and the sending status says so. A 4xx reply, or a
// connection that broke or fell silent before the final reply, leaves the subscriber due.
TEST_F(EventSchedulerTest, EachReplyDecidesWhetherTheSubscriberIsMarked) {
  struct Case {
    const char* step;
    const char* reply;
    bool marked;
    const char* lastStatus;
    bool smtpProblem;
  };
  const char* lost = "Error: SMTP connection lost, retried at next run";
  const char* deferred = "Error: SMTP server deferred a message, retried at next run";
  const char* senderRefused = "Error: SMTP server refused the sender, nothing sent";
  const char* messageRefused = "Error: SMTP server refused the message, retried at next run";
  const Case cases[] = {
      {"END", "250 2.0.0 queued", true, "", false},
      {"RCPT", "550 5.1.1 no such user", true, "", false},
      {"RCPT", "550 5.3.0 Error: command failed", true, "", false},
      {"RCPT", "550 5.1.1 <a@example.com>: Recipient address rejected: User unknown in relay recipient table", true,
       "", false},
      {"END", "550 5.1.1 mailbox unavailable", true, "", false},
      {"END", "554 delivery to a@example.com refused", true, "", false},
      {"END", "554 5.7.1 rejected as spam", false, messageRefused, true},
      {"DATA", "554 5.5.1 Error: no valid recipients", false, messageRefused, true},
      {"MAIL", "550 5.7.1 sender rejected", false, senderRefused, true},
      {"MAIL", "530 5.7.0 Must issue a STARTTLS command first", false, senderRefused, true},
      {"MAIL", "530 5.7.0 authentication required", false, senderRefused, true},
      {"RCPT", "554 5.7.1 <a@example.com>: Relay access denied", false, senderRefused, true},
      {"RCPT", "530 5.7.0 Authentication required", false, senderRefused, true},
      {"RCPT", "451 4.7.1 greylisted, try again later", false, deferred, true},
      {"MAIL", "452 4.3.1 insufficient system storage", false, deferred, true},
      {"END", "451 4.3.0 try again later", false, deferred, true},
      {"MAIL", "421 4.7.0 too many connections", false, lost, true},
      {"END", "421 4.4.2 timeout, closing", false, lost, true},
      {"END", MemorySmtp::kSilent, false, lost, true},
      {"END", MemorySmtp::kDrop, false, lost, true},
      {"DATA", MemorySmtp::kDrop, false, lost, true},
      {"RCPT", "hello?", false, lost, true},
      {"GREETING", "554 5.3.2 not now", false, "Error: SMTP connection failed", true},
      {"GREETING", MemorySmtp::kSilent, false, "Error: SMTP connection failed", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.step) + " " + c.reply);
    Reset();
    AddEvent({"welcome", 0});
    AddSubscriber({"a@example.com", Day(2026, 1, 1)});
    smtp.replies[c.step] = c.reply;
    const Sent first = RunAt(Day(2026, 1, 1, 12, 0));
    EXPECT_EQ(first.size(), c.marked ? 1u : 0u);
    EXPECT_EQ(Marked("a@example.com"), c.marked);
    EXPECT_EQ(LastStatus(), c.lastStatus);
    EXPECT_EQ(db.Config().Scalar("select LastSMTPStatus from tblStatus").AsInteger(), c.smtpProblem ? -1 : 0);
    EXPECT_EQ(socket.State(), SocketState::Closed) << "no connection outlives its session";

    smtp.replies.clear();
    EXPECT_EQ(RunAt(Day(2026, 1, 1, 12, 15)), c.marked ? Sent{} : Sent{"a@example.com:welcome"})
        << "what was not done is tried at the next run, and only that";
  }
}

TEST_F(EventSchedulerTest, RefusedAuthenticationAndRefusedRecipient) {
  AddEvent({"welcome", 0});
  AddSubscriber({"a@example.com", Day(2026, 1, 1)});
  smtp.refusePassword = true;
  EXPECT_EQ(RunAt(Day(2026, 1, 1, 12, 0), "user"), Sent{});
  EXPECT_EQ(LastStatus(), "Error: SMTP authentication failed");
  bool logged = false;
  for (const std::string& l : status.Lines()) logged |= l.ends_with(" - Error: SMTP Authenication failed");
  EXPECT_TRUE(logged);

  // A refusal of the recipient counts as sent, and the session still quits.
  smtp.refusePassword = false;
  smtp.refuseRecipient = true;
  EXPECT_EQ(RunAt(Day(2026, 1, 1, 13, 0)), Sent{"a@example.com:welcome"});
  EXPECT_FALSE(smtp.Mails().back().completed);
  EXPECT_EQ(smtp.Quits(), 1);
  EXPECT_FALSE(Column("LastEventSentTime", "a@example.com").IsNull());
}

// A message the server took whose mark cannot be written (a full disk, an I/O error, a
// lock held past the time-out) would go again at the next run, and so would every later
// one: the pass ends before the next message is handed over.
TEST_F(EventSchedulerTest, AMarkThatCannotBeWrittenEndsThePassBeforeTheNextMessage) {
  AddEvent({"welcome", 0});
  for (const char* a : {"a@example.com", "b@example.com", "c@example.com", "d@example.com"})
    AddSubscriber({a, Day(2026, 1, 1)});
  db.Subscribers().Execute("CREATE TRIGGER fail_b BEFORE UPDATE OF TempLastEventSentTime ON " + SubscriberTable(id) +
                           " WHEN NEW.EmailAddress='b@example.com' BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END");
  SetClock(Day(2026, 1, 1, 12, 0));
  EXPECT_EQ(scheduler.ProcessEvents(id, "smtp.example", "", "", false, true), PassEnd::NotRecorded);
  EXPECT_EQ(smtp.Recipients(), (std::vector<std::string>{"a@example.com", "b@example.com"}))
      << "c and d are not handed over";
  EXPECT_EQ(StagedRows(), 1);  // a's send time stays staged
  EXPECT_TRUE(Column("LastEventSentTime", "a@example.com").IsNull());
  const std::string trace = test::ReadWholeFile(db.Folder() + "/debug/tracepop.log");
  EXPECT_NE(trace.find(" frmProcess/ProcessEvents: the message of event "), std::string::npos) << trace;
  EXPECT_NE(trace.find("disk I/O error; sending stopped"), std::string::npos) << trace;

  // While the table still cannot be written, nothing goes at all: not even the message
  // whose mark failed.
  db.Subscribers().Execute("CREATE TRIGGER fail_all BEFORE UPDATE ON " + SubscriberTable(id) +
                           " BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END");
  EXPECT_EQ(scheduler.ProcessEvents(id, "smtp.example", "", "", false, true), PassEnd::NotRecorded);
  EXPECT_EQ(smtp.Recipients().size(), 2u);

  // Mended, the pass sends the rest, and b's message once more (the one in flight).
  db.Subscribers().Execute("DROP TRIGGER fail_all");
  db.Subscribers().Execute("DROP TRIGGER fail_b");
  EXPECT_EQ(scheduler.ProcessEvents(id, "smtp.example", "", "", false, true), PassEnd::Completed);
  EXPECT_EQ(smtp.Recipients(), (std::vector<std::string>{"a@example.com", "b@example.com", "b@example.com",
                                                         "c@example.com", "d@example.com"}));
}

// Another program holds the subscriber file's write lock past the busy time-out: the mark
// waits its time, fails, and the pass ends there, the same as on a full disk.
TEST_F(EventSchedulerTest, ALockHeldPastTheTimeOutEndsThePassLikeAFullDisk) {
  AddEvent({"welcome", 0});
  for (const char* a : {"a@example.com", "b@example.com", "c@example.com"}) AddSubscriber({a, Day(2026, 1, 1)});
  Connection::Options quick;
  quick.busyTimeoutMs = 50;
  Connection subscribers = Connection::Open(db.Folder() + "/subscribers.sto", quick);
  ctx.subscribers = &subscribers;
  Connection holder = Connection::Open(db.Folder() + "/subscribers.sto");
  smtp.onMessageEnd = [&] {
    if (smtp.Mails().size() == 1) holder.Execute("BEGIN EXCLUSIVE");
  };
  SetClock(Day(2026, 1, 1, 12, 0));
  EXPECT_EQ(scheduler.ProcessEvents(id, "smtp.example", "", "", false, true), PassEnd::NotRecorded);
  EXPECT_EQ(smtp.Mails().size(), 1u);
  holder.Execute("ROLLBACK");
  EXPECT_EQ(scheduler.ProcessEvents(id, "smtp.example", "", "", false, true), PassEnd::Completed);
  EXPECT_EQ(smtp.Recipients(), (std::vector<std::string>{"a@example.com", "a@example.com", "b@example.com",
                                                         "c@example.com"}));
  ctx.subscribers = &db.Subscribers();
}

// A relay that refuses the sender (or asks for authentication that was never set up)
// used to have every due subscriber marked, event after event, with nothing delivered.
TEST_F(EventSchedulerTest, ARefusedSenderUsesUpNoEventOfTheSequence) {
  AddEvent({"welcome", 0});
  AddEvent({"one", 1});
  for (const char* a : {"a@example.com", "b@example.com", "c@example.com", "d@example.com"})
    AddSubscriber({a, Day(2026, 1, 1, 9, 0)});
  smtp.replies["MAIL"] = "530 5.7.0 Must issue a STARTTLS command first";
  EXPECT_EQ(RunAt(Day(2026, 1, 1, 12, 0)), Sent{});
  EXPECT_EQ(RunAt(Day(2026, 1, 2, 12, 0)), Sent{});
  EXPECT_EQ(smtp.Sessions(), 6) << "three sessions a pass, as for any failing server";
  EXPECT_EQ(StagedRows(), 0);
  EXPECT_FALSE(Marked("a@example.com"));
  EXPECT_EQ(LastStatus(), "Error: SMTP server refused the sender, nothing sent");
  EXPECT_EQ(db.Config().Scalar("select LastSMTPStatus from tblStatus").AsInteger(), -1);
  const std::string trace = test::ReadWholeFile(db.Folder() + "/debug/tracepop.log");
  EXPECT_NE(trace.find("the SMTP server refused the sender or the session (to a@example.com): 530 5.7.0 Must issue a "
                       "STARTTLS command first"),
            std::string::npos)
      << trace;

  smtp.replies.clear();
  EXPECT_EQ(RunAt(Day(2026, 1, 2, 12, 15)),
            (Sent{"a@example.com:welcome", "b@example.com:welcome", "c@example.com:welcome", "d@example.com:welcome",
                  "a@example.com:one", "b@example.com:one", "c@example.com:one", "d@example.com:one"}));
}

TEST_F(EventSchedulerTest, AddressesAndBodiesOfTheMessage) {
  const int64_t event = AddEvent({"welcome", 0});
  // A body file of three lines, the last without its line end; a lone LF is no line end.
  test::WriteWholeFile(db.Folder() + "/plain.txt", "line one\r\nline two\rline three\nstill three");
  db.Config().Execute(
      "update tblAutoresponderEvents set UseFilesForMessageBodies=-1, PlainTextMessageFile=?, HTMLMessageFile=?,"
      " FromAddress='Newsletter <news@lists.example.com>' where AutoresponderEventID=?",
      {db.Folder() + "/plain.txt", db.Folder() + "/missing.html", Value(event)});
  AddSubscriber({" Ann Smith <ann@example,com>", Day(2026, 1, 1)});
  RunAt(Day(2026, 1, 1, 12, 0));
  ASSERT_EQ(smtp.Mails().size(), 1u);
  EXPECT_EQ(smtp.Mails()[0].rcptTo, "RCPT TO: <ann@example.com>\r\n");
  EXPECT_EQ(smtp.Mails()[0].mailFrom, "MAIL FROM: <news@lists.example.com>\r\n");
  EXPECT_NE(smtp.Mails()[0].data.find("line one\r\nline two\r\nline three\r\nstill three\r\n"), std::string::npos)
      << smtp.Mails()[0].data;
  EXPECT_NE(smtp.Mails()[0].data.find("@lists.example.com>"), std::string::npos) << "Message-Id domain";
}

TEST_F(EventSchedulerTest, AMissingPlainTextFileGivesTheFixedText) {
  const int64_t event = AddEvent({"welcome", 0});
  db.Config().Execute("update tblAutoresponderEvents set UseFilesForMessageBodies=-1, PlainTextMessageFile=?"
                      " where AutoresponderEventID=?",
                      {db.Folder() + "/nope.txt", Value(event)});
  AddSubscriber({"a@example.com", Day(2026, 1, 1)});
  RunAt(Day(2026, 1, 1, 12, 0));
  ASSERT_EQ(smtp.Mails().size(), 1u);
  EXPECT_NE(smtp.Mails()[0].data.find("\r\nPlain text message\r\n"), std::string::npos);
}

TEST_F(EventSchedulerTest, AMessageThatCannotBeComposedIsNotSentAndStaysDue) {
  const int64_t event = AddEvent({"welcome", 0});
  db.Config().Execute("update tblAutoresponderEvents set AttachmentFileName=? where AutoresponderEventID=?",
                      {db.Folder() + "/gone.pdf", Value(event)});
  AddSubscriber({"a@example.com", Day(2026, 1, 1)});
  EXPECT_EQ(RunAt(Day(2026, 1, 1, 12, 0)), Sent{});
  ASSERT_EQ(smtp.Mails().size(), 1u);
  EXPECT_FALSE(smtp.Mails()[0].completed) << "no empty message is delivered";
  EXPECT_TRUE(Column("LastEventSentTime", "a@example.com").IsNull());
  EXPECT_EQ(LastStatus(), "Error: message could not be composed");
}

// A stored address that would break the envelope, or smuggle a command onto the wire,
// is never written into RCPT TO. It is marked like an address refused for good, so that
// it is not tried at every run, and the others go on.
TEST_F(EventSchedulerTest, UnusableAddressesAreSkippedMarkedAndHoldUpNobody) {
  AddEvent({"welcome", 0});
  const std::vector<std::string> unusable = {"evil@example.com\r\nRCPT TO:<victim@example.com>",
                                             "two words@example.com", "<>", "trailing<", "a\x01@example.com"};
  for (const std::string& a : unusable) AddSubscriber({a, Day(2026, 1, 1)});
  AddSubscriber({" Ann Smith <ann@example.com> ", Day(2026, 1, 1)});
  AddSubscriber({"ok@example.com", Day(2026, 1, 1)});
  EXPECT_EQ(RunAt(Day(2026, 1, 1, 12, 0)), (Sent{" Ann Smith <ann@example.com> :welcome", "ok@example.com:welcome"}));
  ASSERT_EQ(smtp.Mails().size(), 2u);
  EXPECT_EQ(smtp.Mails()[0].rcptTo, "RCPT TO: <ann@example.com>\r\n");
  EXPECT_EQ(socket.Sent().find("victim"), std::string::npos);
  for (const std::string& a : unusable) EXPECT_TRUE(Marked(a)) << PrintableText(a);
  const std::string trace = test::ReadWholeFile(db.Folder() + "/debug/tracepop.log");
  EXPECT_NE(trace.find("skipped: the address cannot be written into RCPT TO: evil@example.com\\x0d\\x0aRCPT TO:"),
            std::string::npos)
      << trace;
  EXPECT_EQ(RunAt(Day(2026, 1, 1, 12, 15)), Sent{});
}

TEST_F(EventSchedulerTest, TheSenderOfTheEnvelope) {
  struct Case {
    const char* fromAddress;
    const char* mailFrom;  // nullptr: the event's messages do not go
  };
  const Case cases[] = {{" news@example.com ", "MAIL FROM: <news@example.com>\r\n"},
                        {"News < news@example.com > ", "MAIL FROM: <news@example.com>\r\n"},
                        {"news@example.com\r\nRCPT TO:<victim@example.com>", nullptr},
                        {"news letter@example.com", nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(PrintableText(c.fromAddress));
    Reset();
    const int64_t event = AddEvent({"welcome", 0});
    db.Config().Execute("update tblAutoresponderEvents set FromAddress=? where AutoresponderEventID=?",
                        {c.fromAddress, Value(event)});
    AddSubscriber({"a@example.com", Day(2026, 1, 1)});
    const size_t before = smtp.Mails().size();
    RunAt(Day(2026, 1, 1, 12, 0));
    if (c.mailFrom) {
      ASSERT_EQ(smtp.Mails().size(), before + 1);
      EXPECT_EQ(smtp.Mails().back().mailFrom, c.mailFrom);
    } else {
      EXPECT_EQ(smtp.Mails().size(), before);
      EXPECT_FALSE(Marked("a@example.com"));
      EXPECT_EQ(LastStatus(), "Error: event From address not usable");
    }
  }
}

// What a killed pass leaves: messages sent and staged, not committed. The next pass of
// the same kind sends each subscriber only the events after the one it got last, and
// the pass of the other kind neither sends to nor commits such rows.
TEST_F(EventSchedulerTest, AnInterruptedPassIsTakenUpExactly) {
  const double d0 = Day(2026, 3, 2, 10, 0);
  const double killedAt = d0 + 5 + 1.0 / 24;
  struct Case {
    const char* name;
    std::vector<EventSpec> events;
    std::vector<StagedSpec> rows;
    double runAt;
    Sent expected;
  };
  const Case cases[] = {
      {"immediate pass killed between two events",
       {{"hello", 0}, {"welcome", 0}},
       {{"a@example.com", d0, Value(), killedAt, "welcome"},
        {"b@example.com", d0, Value(), killedAt, "hello"},
        {"c@example.com", d0, Value(), Value(), ""}},
       killedAt + 0.01,
       {"c@example.com:hello", "b@example.com:welcome", "c@example.com:welcome"}},
      {"catch-up killed after its first event",
       {{"one", 1}, {"three", 3}},
       {{"a@example.com", d0, d0, killedAt, "one"}, {"b@example.com", d0, d0, Value(), ""}},
       killedAt + 0.01,
       {"b@example.com:one", "a@example.com:three", "b@example.com:three"}},
      {"catch-up taken up the next day",
       {{"one", 1}, {"three", 3}},
       {{"a@example.com", d0, d0, killedAt, "one"}},
       killedAt + 1,
       {"a@example.com:three"}},
      {"the immediate pass leaves a delayed pass's rows to it",
       {{"welcome", 0}, {"one", 1}, {"three", 3}},
       {{"a@example.com", d0, Value(), killedAt, "one"}, {"new@example.com", d0 + 5, Value(), Value(), ""}},
       killedAt + 0.01,
       {"new@example.com:welcome", "a@example.com:three"}},
      {"a row staged by an event since deleted is committed, not left stuck",
       {{"one", 1}},
       {{"a@example.com", d0, Value(), killedAt, "gone"}},
       killedAt + 0.01,
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    for (const EventSpec& e : c.events) AddEvent(e);
    for (const StagedSpec& r : c.rows) AddStaged(r);
    EXPECT_EQ(RunAt(c.runAt), c.expected);
    EXPECT_EQ(StagedRows(), 0);
    EXPECT_EQ(RunAt(c.runAt + 0.01), Sent{}) << "and nothing twice";
  }
}

// A subscriber whose message failed in a pass gets none of the pass's later events: the
// failed one stays due, and the sequence keeps its order.
TEST_F(EventSchedulerTest, AFailedMessageHoldsBackTheLaterEventsOfItsPass) {
  const double d0 = Day(2026, 3, 2, 10, 0);
  struct Case {
    const char* name;
    const char* deferredSubject;
    Sent first, second;
  };
  const Case cases[] = {
      {"the first event deferred", "Subject: About one",
       {"b@example.com:one", "b@example.com:three"}, {"a@example.com:one", "a@example.com:three"}},
      {"the second event deferred", "Subject: About three",
       {"a@example.com:one", "b@example.com:one", "b@example.com:three"}, {"a@example.com:three"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    AddEvent({"one", 1});
    AddEvent({"three", 3});
    AddSubscriber({"a@example.com", d0});
    AddSubscriber({"b@example.com", d0});
    smtp.onMessageEnd = [&] {
      const DeliveredMail& m = smtp.Mails().back();
      const bool defer = m.rcptTo == "RCPT TO: <a@example.com>\r\n" && m.data.find(c.deferredSubject) != std::string::npos;
      if (defer) smtp.replies["END"] = "451 4.3.0 try again later";
      else smtp.replies.erase("END");
    };
    EXPECT_EQ(RunAt(d0 + 5), c.first);
    smtp.onMessageEnd = nullptr;
    smtp.replies.clear();
    EXPECT_EQ(RunAt(d0 + 5.1), c.second);
    EXPECT_EQ(RunAt(d0 + 5.2), Sent{});
    EXPECT_EQ(StagedRows(), 0);
  }
}

// A stop request ends the pass after the message in hand: one whose final "." has not
// gone is abandoned (and stays due), one whose final reply is awaited is finished and
// marked. Nobody gets a message twice because of the stop.
TEST_F(EventSchedulerTest, AStopEndsThePassAfterTheMessageInHand) {
  struct Case {
    const char* name;
    bool atTheFinalDot;  // else at the start of the second session
    Sent beforeStop;
  };
  const Case cases[] = {{"stopped while connecting", false, {"a@example.com:welcome"}},
                        {"stopped while the final reply is awaited", true,
                         {"a@example.com:welcome", "b@example.com:welcome"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    AddEvent({"welcome", 0});
    for (const char* a : {"a@example.com", "b@example.com", "c@example.com"}) AddSubscriber({a, Day(2026, 1, 1)});
    const size_t delivered = smtp.Recipients().size();
    StopToken stop;
    ctx.stop = &stop;
    socket.SetStopToken(&stop);
    if (c.atTheFinalDot)
      smtp.onMessageEnd = [&] {
        if (smtp.Mails().size() - delivered == 2) stop.Request();
      };
    else
      smtp.beforeSession = [&](int) {
        if (smtp.Recipients().size() - delivered == 1) stop.Request();
      };
    SetClock(Day(2026, 1, 1, 12, 0));
    Sent sent;
    status.SetObserver([&](const std::string& line, bool) {
      const std::string prefix = " - Sent event email to: ";
      if (const size_t at = line.find(prefix); at != std::string::npos)
        sent.push_back(line.substr(at + prefix.size(), line.find(" for event ") - at - prefix.size()) + ":welcome");
    });
    EXPECT_EQ(scheduler.ProcessEvents(id, "smtp.example", "", "", false, true), PassEnd::Stopped);
    EXPECT_EQ(sent, c.beforeStop);
    EXPECT_EQ(smtp.Recipients().size() - delivered, c.beforeStop.size()) << "what went is exactly what is marked";
    EXPECT_EQ(socket.State(), SocketState::Closed);

    ctx.stop = nullptr;
    socket.SetStopToken(nullptr);
    smtp.onMessageEnd = nullptr;
    smtp.beforeSession = nullptr;
    RunAt(Day(2026, 1, 1, 12, 15));
    std::vector<std::string> everyone = smtp.Recipients();
    everyone.erase(everyone.begin(), everyone.begin() + static_cast<std::ptrdiff_t>(delivered));
    std::sort(everyone.begin(), everyone.end());
    EXPECT_EQ(everyone, (std::vector<std::string>{"a@example.com", "b@example.com", "c@example.com"}))
        << "each subscriber got the event once";
  }
}

TEST(BodyLines, LineEnds) {
  struct Case { const char* in; const char* out; };
  const Case cases[] = {{"", ""},
                        {"a", "a\r\n"},
                        {"a\r\nb\r\nc", "a\r\nb\r\nc\r\n"},
                        {"a\rb\r", "a\r\nb\r\n"},
                        {"a\nb\n", "a\nb\n\r\n"},
                        {"\r\n\r\n", "\r\n\r\n"}};
  for (const Case& c : cases) EXPECT_EQ(BodyLines(c.in), c.out) << c.in;
}

TEST(BodyFileCache, ReadsAFileAgainOnlyWhenItChanged) {
  test::TempFolder folder;
  const std::string path = folder.File("body.html");
  BodyFileCache cache;
  EXPECT_FALSE(cache.Read(path).has_value());
  test::WriteWholeFile(path, "first");
  EXPECT_EQ(cache.Read(path), "first\r\n");
  EXPECT_EQ(cache.Read(path), "first\r\n");
  test::WriteWholeFile(path, "second version");  // edited between two messages
  EXPECT_EQ(cache.Read(path), "second version\r\n");
  std::remove(path.c_str());
  EXPECT_FALSE(cache.Read(path).has_value());
}

}  // namespace
}  // namespace ar
