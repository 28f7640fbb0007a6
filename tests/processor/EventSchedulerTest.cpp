// The event passes over days with the settable clock, and the dispatch of each message,
// against an SMTP server on an in-memory socket.
#include "mail/SocketMemory.h"
#include "processor/BodyFile.h"
#include "processor/EventScheduler.h"
#include "store/Schema.h"
#include "store/Trace.h"
#include "tests/support/ClockGuard.h"
#include "tests/support/MemorySmtp.h"
#include "tests/support/TestDatabases.h"
#include "tests/support/TestRunContext.h"

#include <gtest/gtest.h>

namespace ar {
namespace {

using test::Day;

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

class EventSchedulerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTraceFile(db.Folder() + "/debug/tracepop.log");
    id = db.AddAutoresponder("list", true);
    ctx = test::MakeRunContext(db, id, status, socket);
  }
  void TearDown() override { SetTraceFile(""); }

  int64_t AddEvent(const EventSpec& e) {
    db.Config().Execute(
        "insert into tblAutoresponderEvents (AutoresponderID, EventName, EventInterval, Active, Subject, FromAddress,"
        " FromName, ReplyToAddress, AttachmentFileName, PlainTextOnly, UseFilesForMessageBodies, PlainTextMessage)"
        " values (?, ?, ?, ?, ?, 'News <news@example.com>', 'News', '', '', -1, 0, ?)",
        {Value(id), e.name, e.interval, e.active, "About " + e.name, "Text of " + e.name});
    return db.Config().LastInsertId();
  }
  void AddSubscriber(const SubscriberSpec& s) {
    db.Subscribers().Execute("insert into " + SubscriberTable(id) + " (EmailAddress, AddedDate, UnsubscribeDate) values (?,?,?)",
                             {s.address, s.added, s.unsubscribed ? Value(s.added) : Value()});
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

TEST_F(EventSchedulerTest, AnUnreachableServerIsTriedOncePerSubscriberAndMarksNobody) {
  AddEvent({"welcome", 0});
  for (const char* a : {"a@example.com", "b@example.com", "c@example.com"}) AddSubscriber({a, Day(2026, 1, 1)});
  socket.FailEveryConnect("Connection refused");
  EXPECT_EQ(RunAt(Day(2026, 1, 1, 12, 0)), Sent{});
  EXPECT_EQ(socket.Connects().size(), 3u);
  EXPECT_TRUE(Column("LastEventSentTime", "a@example.com").IsNull());
  EXPECT_EQ(LastStatus(), "Error: SMTP connection failed");
  EXPECT_EQ(db.Config().Scalar("select LastSMTPStatus from tblStatus").AsInteger(), -1);
  EXPECT_EQ(status.Lines().back().substr(status.Lines().back().find(" - ") + 3), "Error: STMP connection failed");
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

  // A refusal after the connection counts as sent, and the session still quits.
  smtp.refusePassword = false;
  smtp.refuseRecipient = true;
  EXPECT_EQ(RunAt(Day(2026, 1, 1, 13, 0)), Sent{"a@example.com:welcome"});
  EXPECT_FALSE(smtp.Mails().back().completed);
  EXPECT_EQ(smtp.Quits(), 1);
  EXPECT_FALSE(Column("LastEventSentTime", "a@example.com").IsNull());
}

TEST_F(EventSchedulerTest, AnErrorInsideThePassStopsItWithoutTheCommit) {
  AddEvent({"welcome", 0});
  AddSubscriber({"a@example.com", Day(2026, 1, 1)});
  AddSubscriber({"b@example.com", Day(2026, 1, 1)});
  db.Subscribers().Execute("CREATE TRIGGER fail_b BEFORE UPDATE OF TempLastEventSentTime ON " + SubscriberTable(id) +
                           " WHEN NEW.EmailAddress='b@example.com' BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END");
  SetClock(Day(2026, 1, 1, 12, 0));
  scheduler.ProcessEvents(id, "smtp.example", "", "", false, true);
  EXPECT_EQ(StagedRows(), 1);  // a's send time stays staged
  EXPECT_TRUE(Column("LastEventSentTime", "a@example.com").IsNull());
  EXPECT_NE(test::ReadWholeFile(db.Folder() + "/debug/tracepop.log").find(" frmProcess/ProcessEvents: "),
            std::string::npos);
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
