// Mailbox intake against scripted POP3 and IMAP4 servers on loopback: the exact
// dialogue, and what it does to the subscriber table.
#include "base/Trace.h"
#include "mail/PosixSocket.h"
#include "processor/MailboxIntake.h"
#include "store/Schema.h"
#include "tests/processor/MailFixtures.h"
#include "tests/support/ClockGuard.h"
#include "tests/support/FakeServer.h"
#include "tests/support/TestDatabases.h"
#include "tests/support/TestRunContext.h"

#include <gtest/gtest.h>

namespace ar {
namespace {

using test::Day;
using test::Script;

std::string Message(const std::string& from, const std::string& subject, const std::string& body = "Hello there.") {
  std::string m = "Received: from mx.example.com\r\n";
  if (!from.empty()) m += "From: " + from + "\r\n";
  return m + "Subject: " + subject + "\r\nDate: Mon, 5 Jan 2009 14:03:09 +0100\r\n\r\n" + body + "\r\n";
}

Script PopLogin(int count) {
  Script s;
  s.Send("+OK POP3 ready\r\n")
      .Exchange("USER ann\r\n", "+OK\r\n")
      .Exchange("PASS s3cret\r\n", "+OK logged in\r\n")
      .Exchange("STAT\r\n", "+OK " + std::to_string(count) + " 4242\r\n");
  return s;
}

Script& PopTake(Script& s, int i, const std::string& message) {
  const std::string n = std::to_string(i);
  return s.Exchange("RETR " + n + "\r\n", "+OK message follows\r\n" + message + ".\r\n")
      .Exchange("DELE " + n + "\r\n", "+OK deleted\r\n");
}

std::string Fetch(int i, const std::string& message) {
  return "* " + std::to_string(i) + " FETCH (RFC822 {" + std::to_string(message.size()) + "}\r\n" + message + ")\r\n" +
         "01 OK Fetch completed (0.001 + 0.000 secs).\r\n";
}

Script& PopQuit(Script& s) { return s.Exchange("QUIT\r\n", "+OK bye\r\n").ExpectClosed(); }

struct Row {
  std::string address;
  bool unsubscribed;
  bool operator==(const Row& o) const { return address == o.address && unsubscribed == o.unsubscribed; }
};
std::ostream& operator<<(std::ostream& os, const Row& r) { return os << r.address << (r.unsubscribed ? " (u)" : ""); }

class MailboxIntakeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTraceFile(db.Folder() + "/debug/tracepop.log");
    id = db.AddAutoresponder("list", true);
    ctx = test::MakeRunContext(db, id, status, socket);
    db.Config().Execute("update tblAutoresponders set LastStatus='OK'");
  }
  void TearDown() override {
    SetTraceFile("");
    SetDebugSwitch(false);
  }

  void Read(const std::string& server, const std::string& type = "POP3", const std::string& folder = "",
            const std::string& password = "s3cret", MailboxIntake::Limits limits = Fast()) {
    MailboxIntake intake(ctx, limits);
    intake.ReadPOP(server, "ann", password, false, id, type, folder);
  }
  static MailboxIntake::Limits Fast() {
    MailboxIntake::Limits l;
    l.connectTimeoutMs = 2000;
    l.popDialogueTimeoutMs = 2000;
    return l;
  }
  void AddRow(const std::string& address, bool unsubscribed = false) {
    db.Subscribers().Execute("insert into " + SubscriberTable(id) + " (EmailAddress, UnsubscribeDate) values (?, ?)",
                             {address, unsubscribed ? Value(Day(2026, 1, 1)) : Value()});
  }
  std::vector<Row> Rows() {
    std::vector<Row> rows;
    for (RowSet rs = db.Subscribers().Query("select * from " + SubscriberTable(id) + " order by SubscriberID"); !rs.Eof();
         rs.MoveNext())
      rows.push_back({rs.Field("EmailAddress").AsText(), !rs.Field("UnsubscribeDate").IsNull()});
    return rows;
  }
  std::vector<std::string> Log() {
    std::vector<std::string> out;
    for (const std::string& line : status.Lines()) out.push_back(line.substr(line.find(" - ") + 3));
    return out;
  }
  bool Logged(const std::string& text) {
    for (const std::string& l : Log())
      if (l == text) return true;
    return false;
  }
  std::string LastStatus() {
    return db.Config().Scalar("select LastStatus from tblAutoresponders where AutoresponderID=?", {Value(id)}).AsText();
  }
  int64_t PopProblem() { return db.Config().Scalar("select LastPOPStatus from tblStatus").AsInteger(); }
  static void ExpectScripted(test::FakeServer& server) {
    for (const std::string& p : server.Finish()) ADD_FAILURE() << p;
  }

  test::TestDatabases db;
  test::ClockGuard clock{Day(2026, 6, 1, 10, 0)};
  int64_t id = 0;
  StatusList status;
  PosixSocket socket;
  RunContext ctx;
};

TEST_F(MailboxIntakeTest, WhatOneMessageDoesToTheList) {
  struct Case {
    const char* name;
    std::vector<Row> before;
    std::string message;
    std::vector<Row> after;
    std::string logged;  // empty: nothing about the sender
  };
  const Case cases[] = {
      {"a display name subscribes the bare address", {}, Message("Ann Smith <ann@example.com>", "hi"),
       {{"ann@example.com", false}}, "New subscriber: ann@example.com"},
      {"a known sender asking to unsubscribe marks the first row only",
       {{"bob@example.com", false}, {"BOB@example.com", false}}, Message("bob@example.com", "Please UNSUBSCRIBE me now"),
       {{"bob@example.com", true}, {"BOB@example.com", false}}, "Received unsubscribed request: bob@example.com"},
      {"a known sender writing subscribe stays as is", {{"carl@example.com", true}},
       Message("carl@example.com", "subscribe"), {{"carl@example.com", true}},
       "New subscriber already in list: carl@example.com"},
      {"an unknown sender writing unsubscribe is subscribed", {}, Message("dora@example.com", "unsubscribe"),
       {{"dora@example.com", false}}, "New subscriber: dora@example.com"},
      {"a delivery report adds nothing", {},
       Message("MAILER-DAEMON@mx.example.com", "failure", "Remote host said: (#5.1.1) no such user"), {},
       "Delivery report not subscribed: MAILER-DAEMON@mx.example.com"},
      {"a report from postmaster adds nothing", {}, Message("postmaster@mx.example.com", "x", "Unknown User here"), {},
       "Delivery report not subscribed: postmaster@mx.example.com"},
      {"a person's code and phrase together make a report", {},
       Message("ann@example.com", "x", "Remote host said: 550 5.1.1 unknown user"), {},
       "Delivery report not subscribed: ann@example.com"},
      {"no From line adds nothing", {}, Message("", "anonymous"), {}, ""},
      {"an apostrophe selects only its own row", {{"obrien@example.com", false}},
       Message("o'brien@example.com", "hello"), {{"obrien@example.com", false}, {"o'brien@example.com", false}},
       "New subscriber: o'brien@example.com"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    db.Subscribers().Execute("delete from " + SubscriberTable(id));
    for (const Row& r : c.before) AddRow(r.address, r.unsubscribed);
    status = StatusList();
    Script script = PopLogin(1);
    PopTake(script, 1, c.message);
    test::FakeServer server({PopQuit(script)});
    Read(server.Address());
    ExpectScripted(server);
    EXPECT_EQ(Rows(), c.after);
    if (!c.logged.empty()) {
      EXPECT_TRUE(Logged(c.logged));
    }
    EXPECT_TRUE(Logged("Closing POP account"));
    EXPECT_EQ(LastStatus(), "OK");
  }
}

TEST_F(MailboxIntakeTest, AtMostAThousandMessagesARun) {
  Script script = PopLogin(1500);
  for (int i = 1; i <= 1000; ++i) PopTake(script, i, Message("s" + std::to_string(i) + "@example.com", "hi"));
  test::FakeServer server({PopQuit(script)});
  std::vector<std::string> all;  // the list itself keeps only the newest 1001 lines
  status.SetObserver([&](const std::string& line, bool) { all.push_back(line.substr(line.find(" - ") + 3)); });
  Read(server.Address());
  ExpectScripted(server);
  EXPECT_EQ(all.at(3), "Number of messages: 1500");
  EXPECT_EQ(Rows().size(), 1000u);
  EXPECT_EQ(ctx.newSubscribers, 1000) << "counted for the run's record";
}

TEST_F(MailboxIntakeTest, VersionNumbersInHeadersDoNotMakeAPersonsMailAReport) {
  const char* files[] = {"dsn-user-unknown.eml", "personal-spam-checked.eml", "dsn-delayed.eml",
                         "personal-mail-client.eml", "report-phrase-in-subject.eml"};
  Script script = PopLogin(5);
  for (int i = 1; i <= 5; ++i) PopTake(script, i, test::MailFixture(files[i - 1]));
  test::FakeServer server({PopQuit(script)});
  Read(server.Address());
  ExpectScripted(server);  // every message, report or not, was deleted
  EXPECT_EQ(Rows(), (std::vector<Row>{{"nora@example.com", false}, {"ken@example.org", false}}));
  std::vector<std::string> reports;
  for (const std::string& line : Log())
    if (line.rfind("Delivery report not subscribed: ", 0) == 0) reports.push_back(line.substr(32));
  EXPECT_EQ(reports, (std::vector<std::string>{"MAILER-DAEMON@mx.example.com", "MAILER-DAEMON@mx.example.com",
                                               "postmaster@mail.example.net"}));
}

// The sender as a mail reader takes it: the header block's From field, unfolded, its first
// mailbox; the list gets the address alone.
TEST_F(MailboxIntakeTest, TheSenderIsTheFirstMailboxOfTheFromField) {
  struct Case {
    const char* name;
    std::string header;  // the fields above Subject and Date
    std::string body;
    std::vector<std::string> added;
    std::string logged;  // a progress line expected, or empty
    std::string traced;  // a forced trace line expected, or empty
  };
  const std::string longAddress = std::string(95, 'a') + "@example.com";
  const Case cases[] = {
      {"a folded encoded display name", "From: =?UTF-8?B?QW5uIFNtaXRo?=\r\n <ann@example.com>\r\n", "Hi",
       {"ann@example.com"}, "New subscriber: ann@example.com", ""},
      {"an encoded display name in quotes", "From: \"=?ISO-8859-1?Q?J=F6rg_Lee?=\" <jorg@example.com>\r\n", "Hi",
       {"jorg@example.com"}, "", ""},
      {"a comment after the address", "From: ann@example.com (Ann)\r\n", "Hi", {"ann@example.com"}, "", ""},
      {"a \"<\" in the quoted display name", "From: \"Smith <IT>\" <ann@example.com>\r\n", "Hi",
       {"ann@example.com"}, "", ""},
      {"a display name with a comma not quoted", "From: Smith, Ann <ann@example.com>\r\n", "Hi", {"ann@example.com"},
       "", ""},
      {"two addresses: the first", "From: ann@example.com, bob@example.com\r\n", "Hi", {"ann@example.com"}, "", ""},
      {"a group: its first member", "From: Team: ann@x.org, bob@x.org;\r\n", "Hi", {"ann@x.org"}, "", ""},
      {"no From field, a From quoted in the body", "Reply-To: r@example.com\r\n",
       "---- Forwarded ----\r\nFrom: quoted@example.com\r\nSubject: old\r\n", {}, "", ""},
      {"a lone 550 in a person's body", "From: Pat <pat@example.com>\r\n", "I paid 550 dollars.", {"pat@example.com"},
       "New subscriber: pat@example.com", ""},
      {"a lone 2.1.3 in a person's body", "From: pat@example.com\r\n", "Version 2.1.3 is out.", {"pat@example.com"},
       "", ""},
      {"a null return path", "Return-Path: <>\r\nFrom: notices@example.net\r\n", "Not delivered.", {},
       "Delivery report not subscribed: notices@example.net", ""},
      {"an address without a domain", "From: =?UTF-8?B?QW5uIFNtaXRo?=\r\n", "Hi", {}, "",
       "frmProcess:ReadPOP: sender line without a usable address not subscribed: =?UTF-8?B?QW5uIFNtaXRo?="},
      {"longer than the column", "From: " + longAddress + "\r\n", "Hi", {}, "",
       "frmProcess:ReadPOP: sender address longer than 100 characters not subscribed: " + longAddress},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    db.Subscribers().Execute("delete from " + SubscriberTable(id));
    status = StatusList();
    const std::string message = "Received: from mx.example.com\r\n" + c.header +
                                "Subject: hello\r\nDate: Mon, 5 Jan 2009 14:03:09 +0100\r\n\r\n" + c.body + "\r\n";
    Script script = PopLogin(1);
    PopTake(script, 1, message);
    test::FakeServer server({PopQuit(script)});
    Read(server.Address());
    ExpectScripted(server);  // deleted, whatever it held
    std::vector<Row> added;
    for (const std::string& a : c.added) added.push_back({a, false});
    EXPECT_EQ(Rows(), added);
    if (!c.logged.empty()) {
      EXPECT_TRUE(Logged(c.logged));
    }
    if (!c.traced.empty()) {
      const std::string trace = test::ReadWholeFile(db.Folder() + "/debug/tracepop.log");
      EXPECT_NE(trace.find(c.traced + "\r\n"), std::string::npos) << trace;
    }
  }
}

// A subscriber row that cannot be read or written ends the mailbox at once, the message
// still on the server: POP3 deletes only at QUIT, IMAP4 only what it flagged.
TEST_F(MailboxIntakeTest, ADatabaseThatCannotBeWrittenStopsReadingAndKeepsTheMessage) {
  AddRow("known@example.com");
  const std::string known = Message("known@example.com", "hi");
  const std::string fresh = Message("new@example.com", "hi");
  const std::string path = db.Subscribers().Path();
  Connection::Options noWait;  // a lock held is refused at once: the test never waits
  noWait.busyTimeoutMs = 0;
  Connection::Options readOnly = noWait;
  readOnly.readOnly = true;

  auto pop = [&] {
    Script s = PopLogin(3);
    PopTake(s, 1, known);  // nothing to write: taken and deleted
    s.Exchange("RETR 2\r\n", "+OK\r\n" + fresh + ".\r\n").ExpectClosed();  // no DELE 2, no QUIT
    return s;
  };
  Script imap;
  imap.Send("* OK ready\r\n")
      .Exchange("01 LOGIN ann s3cret\r\n", "01 OK Logged in\r\n")
      .Exchange("01 SELECT INBOX\r\n", "* 2 EXISTS\r\n01 OK Select completed.\r\n")
      .Exchange("01 FETCH 1 RFC822\r\n", Fetch(1, fresh))
      .ExpectClosed();  // no STORE, no CLOSE

  struct Case {
    const char* name;
    const char* type;
    Script script;
    const Connection::Options* options;
    std::vector<std::string> hold;  // what another program does on the file first
    const char* error;  // in the trace line
  };
  std::vector<Case> cases;
  // Writers are locked out, readers still read: the insert fails.
  const std::vector<std::string> writeLock = {"BEGIN EXCLUSIVE"};
  // The look-up itself fails.
  const std::vector<std::string> dropTable = {"drop table " + SubscriberTable(id)};
  cases.push_back({"the file locked by another program (POP3)", "POP3", pop(), &noWait, writeLock, "database is locked"});
  cases.push_back({"the file locked by another program (IMAP4)", "IMAP4", imap, &noWait, writeLock, "database is locked"});
  cases.push_back({"a read-only file", "POP3", pop(), &readOnly, {}, "readonly"});
  cases.push_back({"the subscriber table missing", "POP3",
                   PopLogin(3).Exchange("RETR 1\r\n", "+OK\r\n" + known + ".\r\n").ExpectClosed(), &noWait, dropTable,
                   "no such table"});
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    db.Config().Execute("update tblAutoresponders set LastStatus='OK'");
    db.Config().Execute("update tblStatus set LastPOPStatus=0");
    status = StatusList();
    Connection intakeConnection = Connection::Open(path, *c.options);
    ctx.subscribers = &intakeConnection;
    {
      Connection holder = Connection::Open(path, noWait);
      for (const std::string& statement : c.hold) holder.Scalar(statement);
      test::FakeServer server({c.script});
      Read(server.Address(), c.type);
      ExpectScripted(server);
    }  // the other program ends: its locks go with it
    ctx.subscribers = &db.Subscribers();
    if (c.hold == dropTable) {
      CreateSubscriberTable(db.Subscribers(), id);
      AddRow("known@example.com");
    }

    EXPECT_EQ(Rows(), (std::vector<Row>{{"known@example.com", false}}));
    EXPECT_EQ(PopProblem(), -1);
    EXPECT_EQ(LastStatus(), "Error: the database cannot be written, mailbox reading stopped");
    EXPECT_EQ(socket.State(), SocketState::Closed);
    EXPECT_FALSE(Logged("Closing POP account"));
    EXPECT_FALSE(Logged("Closing IMAP account"));
    const std::string trace = test::ReadWholeFile(db.Folder() + "/debug/tracepop.log");
    const size_t line = trace.rfind("frmProcess:ReadPOP: ");
    ASSERT_NE(line, std::string::npos);
    EXPECT_NE(trace.find(c.error, line), std::string::npos) << trace.substr(line);
  }
}

// Addresses of subscribers end up in SMTP commands; one that could break a command line
// is never taken, and its message is deleted like any other.
TEST_F(MailboxIntakeTest, UnsafeSenderAddressesAreNeverSubscribed) {
  struct Case { std::string from; std::string traced; };
  const Case cases[] = {
      {"Ann Smith ann@example.com", "Ann Smith ann@example.com"},          // no brackets: the blank stays
      {"\"ann lee\"@example.com", "\"ann lee\"@example.com"},             // a quoted blank
      {"ann@example.com\nDATA", "ann@example.com\\x0aDATA"},             // a bare LF to smuggle a command
      {"Ann <ann\t@example.com>", "ann\\x09@example.com"},
      {"Ann <ann\x01@example.com>", "ann\\x01@example.com"},
      {std::string("Ann <ann\0@example.com>", 22), "ann\\x00@example.com"},
  };
  Script script = PopLogin(static_cast<int>(std::size(cases)) + 1);
  int i = 0;
  for (const Case& c : cases) PopTake(script, ++i, Message(c.from, "hi"));
  PopTake(script, ++i, Message("Ann < ann@example.com >", "hi"));  // blanks inside the brackets are not the address's
  test::FakeServer server({PopQuit(script)});
  Read(server.Address());
  ExpectScripted(server);
  EXPECT_EQ(Rows(), (std::vector<Row>{{"ann@example.com", false}}));
  const std::string trace = test::ReadWholeFile(db.Folder() + "/debug/tracepop.log");
  for (const Case& c : cases)
    EXPECT_NE(trace.find("frmProcess:ReadPOP: sender address holding a control character, blank or angle bracket not "
                         "subscribed: " + c.traced + "\r\n"),
              std::string::npos)
        << test::Visible(c.from) << "\n" << trace;
}

TEST_F(MailboxIntakeTest, PopSessionFailures) {
  struct Case {
    const char* name;
    Script script;
    std::string status;  // LastStatus afterwards
    bool problem;        // LastPOPStatus afterwards
    std::string logged;
  };
  const std::string msg = Message("eve@example.com", "hi");
  std::vector<Case> cases;
  cases.push_back({"USER refused",
                   Script().Send("+OK\r\n").Exchange("USER ann\r\n", "-ERR who?\r\n").Exchange("RSET\r\n", "+OK\r\n").ExpectClosed(),
                   "Error: POP username/password failed", true, "POP username or password not accepted"});
  cases.push_back({"PASS refused",
                   Script().Send("+OK\r\n").Exchange("USER ann\r\n", "+OK\r\n").Exchange("PASS s3cret\r\n", "-ERR no\r\n")
                       .Exchange("RSET\r\n", "+OK\r\n").ExpectClosed(),
                   "Error: POP username/password failed", true, "POP username or password not accepted"});
  cases.push_back({"a greeting that never comes", Script().ExpectClosed(), "Error: POP connection failure", true,
                   "Connection failed to server: "});
  {
    Script s = PopLogin(2);
    s.Expect("RETR 1\r\n").Send("+OK\r\nReceived: x\r\nFrom: eve@example.com\r\n").Drop();
    cases.push_back({"a connection dropped in the middle of RETR", s, "OK", false, "Number of messages: 2"});
  }
  {
    Script s = PopLogin(1);
    s.Exchange("RETR 1\r\n", "-ERR no such message\r\n").ExpectClosed();
    cases.push_back({"RETR refused ends at once", s, "OK", false, "Number of messages: 1"});
  }
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    db.Config().Execute("update tblAutoresponders set LastStatus='OK'");
    db.Config().Execute("update tblStatus set LastPOPStatus=0");
    status = StatusList();
    test::FakeServer server({c.script});
    Read(server.Address());
    ExpectScripted(server);
    EXPECT_TRUE(Rows().empty());
    EXPECT_EQ(LastStatus(), c.status);
    EXPECT_EQ(PopProblem(), c.problem ? -1 : 0);
    bool found = false;
    for (const std::string& l : Log()) found |= l.rfind(c.logged, 0) == 0;
    EXPECT_TRUE(found) << c.logged;
    EXPECT_FALSE(Logged("Closing POP account"));
    EXPECT_EQ(socket.State(), SocketState::Closed);
  }
}

TEST_F(MailboxIntakeTest, ARefusedConnectionIsAPopProblem) {
  Read("127.0.0.1:" + std::to_string(test::UnusedLoopbackPort()));
  EXPECT_EQ(LastStatus(), "Error: POP connection failure");
  EXPECT_EQ(PopProblem(), -1);
  EXPECT_NE(test::ReadWholeFile(db.Folder() + "/debug/tracepop.log").find("CONNECTION ERROR: "), std::string::npos);
}

TEST_F(MailboxIntakeTest, AnOversizedMessageStaysOnTheServerAndTheNextIsTaken) {
  Script script = PopLogin(2);
  script.Exchange("RETR 1\r\n", "+OK\r\n" + Message("big@example.com", "x", std::string(5000, 'b')) + ".\r\n");
  PopTake(script, 2, Message("small@example.com", "hi"));
  test::FakeServer server({PopQuit(script)});
  MailboxIntake::Limits limits = Fast();
  limits.maxMessageBytes = 1000;
  Read(server.Address(), "POP3", "", "s3cret", limits);
  ExpectScripted(server);
  EXPECT_EQ(Rows(), (std::vector<Row>{{"small@example.com", false}}));
  EXPECT_NE(test::ReadWholeFile(db.Folder() + "/debug/tracepop.log").find("message 1 is larger than 1000 bytes"),
            std::string::npos);
}

TEST_F(MailboxIntakeTest, TheTraceHidesThePassword) {
  SetDebugSwitch(true);
  Script script = PopLogin(0);
  test::FakeServer server({PopQuit(script)});
  Read(server.Address());
  ExpectScripted(server);
  const std::string trace = test::ReadWholeFile(db.Folder() + "/debug/tracepop.log");
  EXPECT_NE(trace.find(" SENDING: USER ann\r\n"), std::string::npos);
  EXPECT_NE(trace.find(" SENDING: PASS <HIDDEN>\r\n"), std::string::npos);
  EXPECT_NE(trace.find(" RECEIVE: +OK logged in\r\n"), std::string::npos);
  EXPECT_NE(trace.find(" CLOSE RESPONSE: +OK bye\r\n"), std::string::npos);
  EXPECT_EQ(trace.find("s3cret"), std::string::npos);
}

TEST_F(MailboxIntakeTest, AnUnknownServerTypeReadsNothing) {
  Read("127.0.0.1:1", "EXCHANGE");
  EXPECT_EQ(Log(), std::vector<std::string>{"Number of messages: 0"});
}

TEST_F(MailboxIntakeTest, ImapSessionReadsToTaggedCompletionsAndLiterals) {
  // The first message's own text holds lines that look like completions.
  const std::string tricky = Message("Ann <ann@example.com>", "hi", "01 OK FETCH completed\r\nSTORE Completed");
  const std::string second = Message("ben@example.com", "hi");
  Script s;
  s.Send("* OK [CAPABILITY IMAP4rev1] Dovecot ready.\r\n")
      .Exchange("01 LOGIN ann \"pass word\"\r\n", "01 OK [CAPABILITY IMAP4rev1] Logged in\r\n")
      .Exchange("01 SELECT INBOX\r\n",
                "* FLAGS (\\Answered \\Deleted)\r\n* 2 EXISTS\r\n* 0 RECENT\r\n01 OK [READ-WRITE] Select completed.\r\n")
      .Exchange("01 FETCH 1 RFC822\r\n", Fetch(1, tricky))
      .Exchange("01 STORE 1 +flags (\\deleted)\r\n", "* 1 FETCH (FLAGS (\\Deleted))\r\n01 OK Store completed.\r\n")
      .Exchange("01 FETCH 2 RFC822\r\n", Fetch(2, second))
      .Exchange("01 STORE 2 +flags (\\deleted)\r\n", "01 OK STORE Completed\r\n")
      .Exchange("01 CLOSE\r\n", "01 OK Close completed.\r\n")
      .ExpectClosed();
  test::FakeServer server({s});
  Read(server.Address(), "IMAP4", "", "pass word");
  ExpectScripted(server);
  EXPECT_EQ(Rows(), (std::vector<Row>{{"ann@example.com", false}, {"ben@example.com", false}}));
  EXPECT_TRUE(Logged("Number of messages: 2"));
  EXPECT_TRUE(Logged("Closing IMAP account"));
}

TEST_F(MailboxIntakeTest, ImapRefusalsFailAtOnce) {
  struct Case { const char* name; Script script; const char* logged; };
  std::vector<Case> cases;
  cases.push_back({"login refused",
                   Script().Send("* OK ready\r\n").Exchange("01 LOGIN ann s3cret\r\n", "01 NO [AUTHENTICATIONFAILED] failed.\r\n")
                       .ExpectClosed(),
                   "IMAP Username/Password: "});
  cases.push_back({"unknown folder",
                   Script().Send("* OK ready\r\n").Exchange("01 LOGIN ann s3cret\r\n", "01 OK LOGIN completed\r\n")
                       .Exchange("01 SELECT \"Sent Items\"\r\n", "01 NO Mailbox doesn't exist\r\n").ExpectClosed(),
                   nullptr});
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    status = StatusList();
    test::FakeServer server({c.script});
    Read(server.Address(), "IMAP4", "Sent Items");
    ExpectScripted(server);
    if (c.logged) {
      EXPECT_EQ(Log().back().rfind(c.logged, 0), 0u) << Log().back();
    }
    EXPECT_FALSE(Logged("Closing IMAP account"));
    EXPECT_EQ(LastStatus(), "OK");  // the IMAP path does not touch the status
  }
}

TEST_F(MailboxIntakeTest, ReplyFramingIsNotTakenForADeliveryReport) {
  // Real servers put the size in RETR's status line and the message number in front of
  // a FETCH answer; " 550 " there is not a reply code of a report.
  Script pop = PopLogin(1);
  pop.Exchange("RETR 1\r\n", "+OK 550 octets\r\n" + Message("pat@example.com", "hi") + ".\r\n")
      .Exchange("DELE 1\r\n", "+OK\r\n");
  test::FakeServer popServer({PopQuit(pop)});
  Read(popServer.Address());
  ExpectScripted(popServer);
  EXPECT_EQ(Rows(), (std::vector<Row>{{"pat@example.com", false}}));

  Script imap;
  imap.Send("* OK ready\r\n")
      .Exchange("01 LOGIN ann s3cret\r\n", "01 OK Logged in\r\n")
      .Exchange("01 SELECT INBOX\r\n", "* 550 EXISTS\r\n01 OK Select completed.\r\n");
  for (int i = 1; i <= 550; ++i) {
    const std::string n = std::to_string(i);
    imap.Exchange("01 FETCH " + n + " RFC822\r\n", Fetch(i, Message("s" + n + "@example.com", "hi")))
        .Exchange("01 STORE " + n + " +flags (\\deleted)\r\n", "01 OK Store completed.\r\n");
  }
  imap.Exchange("01 CLOSE\r\n", "01 OK Close completed.\r\n").ExpectClosed();
  test::FakeServer imapServer({imap});
  Read(imapServer.Address(), "IMAP4");
  ExpectScripted(imapServer);
  const std::vector<Row> rows = Rows();
  ASSERT_EQ(rows.size(), 551u);
  EXPECT_EQ(rows.back(), (Row{"s550@example.com", false}));
}

// A close that fails (no answer, an error answer, a lost connection) must not leave the
// connection open: the next autoresponder's login would go to this server.
TEST_F(MailboxIntakeTest, AFailedCloseNeverHandsTheNextLoginToTheSameServer) {
  struct Case {
    const char* name;
    const char* type;
    Script first;  // ends by failing the close
  };
  auto imapOpen = [] {
    Script s;
    s.Send("* OK ready\r\n")
        .Exchange("01 LOGIN ann s3cret\r\n", "01 OK Logged in\r\n")
        .Exchange("01 SELECT INBOX\r\n", "* 0 EXISTS\r\n01 OK Select completed.\r\n");
    return s;
  };
  std::vector<Case> cases;
  cases.push_back({"CLOSE never answered", "IMAP4", imapOpen().Expect("01 CLOSE\r\n").ExpectClosed()});
  cases.push_back({"CLOSE refused", "IMAP4",
                   imapOpen().Exchange("01 CLOSE\r\n", "01 BAD No mailbox selected\r\n").ExpectClosed()});
  cases.push_back({"connection lost at CLOSE", "IMAP4", imapOpen().Expect("01 CLOSE\r\n").Drop()});
  cases.push_back({"QUIT never answered", "POP3", PopLogin(0).Expect("QUIT\r\n").ExpectClosed()});
  cases.push_back({"QUIT refused", "POP3",
                   PopLogin(0).Exchange("QUIT\r\n", "-ERR some deleted messages not removed\r\n").ExpectClosed()});
  // The next autoresponder's mailbox, on a server of its own.
  const Script nextPop = Script()
                             .Send("+OK\r\n")
                             .Exchange("USER bob\r\n", "+OK\r\n")
                             .Exchange("PASS b0b-only\r\n", "+OK\r\n")
                             .Exchange("STAT\r\n", "+OK 0 0\r\n")
                             .Exchange("QUIT\r\n", "+OK\r\n")
                             .ExpectClosed();
  const Script nextImap = Script()
                              .Send("* OK ready\r\n")
                              .Exchange("01 LOGIN bob b0b-only\r\n", "01 OK Logged in\r\n")
                              .Exchange("01 SELECT INBOX\r\n", "* 0 EXISTS\r\n01 OK Select completed.\r\n")
                              .Exchange("01 CLOSE\r\n", "01 OK Close completed.\r\n")
                              .ExpectClosed();

  const int64_t second = db.AddAutoresponder("second", true);
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    const bool pop = std::string(c.type) == "POP3";
    test::FakeServer first({c.first});
    test::FakeServer next({pop ? nextPop : nextImap});
    MailboxIntake(ctx, Fast()).ReadPOP(first.Address(), "ann", "s3cret", false, id, c.type, "");
    EXPECT_EQ(socket.State(), SocketState::Closed);
    // The first server still listens while the second mailbox is read.
    MailboxIntake(ctx, Fast()).ReadPOP(next.Address(), "bob", "b0b-only", false, second, c.type, "");
    ExpectScripted(next);
    ExpectScripted(first);
    EXPECT_EQ(first.Received().at(0).find("bob"), std::string::npos);
  }
  const std::string trace = test::ReadWholeFile(db.Folder() + "/debug/tracepop.log");
  size_t errors = 0;
  for (size_t at = trace.find(" ERROR CLOSING\r\n"); at != std::string::npos; at = trace.find(" ERROR CLOSING\r\n", at + 1))
    ++errors;
  EXPECT_EQ(errors, cases.size()) << trace;
}

TEST_F(MailboxIntakeTest, AnImapFolderTypedWithItsQuotesIsSelectedAsTyped) {
  Script s;
  s.Send("* OK ready\r\n")
      .Exchange("01 LOGIN ann s3cret\r\n", "01 OK Logged in\r\n")
      .Exchange("01 SELECT \"Sent Items\"\r\n", "* 0 EXISTS\r\n01 OK Select completed.\r\n")
      .Exchange("01 CLOSE\r\n", "01 OK Close completed.\r\n")
      .ExpectClosed();
  test::FakeServer server({s});
  Read(server.Address(), "IMAP4", "\"Sent Items\"");
  ExpectScripted(server);
  EXPECT_TRUE(Logged("Closing IMAP account"));

  // A line break could not be sent inside any argument: nothing is even connected.
  Read("127.0.0.1:" + std::to_string(test::UnusedLoopbackPort()), "IMAP4", "INBOX\r\n01 DELETE INBOX");
  const std::string trace = test::ReadWholeFile(db.Folder() + "/debug/tracepop.log");
  EXPECT_NE(trace.find("the IMAP folder holds a line break"), std::string::npos) << trace;
  EXPECT_EQ(trace.find("CONNECTION ERROR"), std::string::npos) << trace;
}

TEST(ImapMailboxName, AQuotedFolderIsSentAsItStands) {
  struct Case { std::string typed; std::string sent; };
  const Case cases[] = {
      {"INBOX", "INBOX"},
      {"Sent Items", R"("Sent Items")"},
      {R"("Sent Items")", R"("Sent Items")"},    // typed with its quotes
      {R"("say \"hi\"")", R"("say \"hi\"")"},    // escapes inside are kept
      {R"("a\\b")", R"("a\\b")"},
      {R"("")", R"("")"},
      {R"("Sent Items)", R"("\"Sent Items")"},   // no closing quote: not a quoted string
      {R"("a"b")", R"("\"a\"b\"")"},             // a bare quote inside
      {R"("a\")", R"("\"a\\\"")"},              // the last quote is escaped
      {R"("a\x")", R"("\"a\\x\"")"},            // a backslash escapes only a quote or a backslash
      {R"(")", R"("\"")"},
      {"Sent\r\nItems", ""},                   // no argument can carry a line break
      {"\"Sent\nItems\"", ""},
      {std::string("a\0b", 3), ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ImapMailboxName(c.typed), c.sent) << test::Visible(c.typed);
}

TEST(ImapAString, AtomsStayQuotedOtherwise) {
  EXPECT_EQ(ImapAString("ann"), "ann");
  EXPECT_EQ(ImapAString("pass word"), "\"pass word\"");
  EXPECT_EQ(ImapAString("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(ImapAString(""), "\"\"");
  EXPECT_EQ(ImapAString("p%ss"), "\"p%ss\"");
}

TEST(MailboxServerText, OutOfRangePortsTakeTheDefault) {
  struct Case { const char* text; int def; const char* host; int port; };
  const Case cases[] = {{"pop.example", 995, "pop.example", 995}, {"pop.example:1110", 110, "pop.example", 1110},
                        {"pop.example:x", 110, "pop.example", 0},  {"pop.example:99999999999", 143, "pop.example", 143},
                        {"h:25abc", 110, "h", 25}};
  for (const Case& c : cases) {
    const ServerEndpoint ep = SplitServerText(c.text, c.def, c.def);
    EXPECT_EQ(ep.host, c.host) << c.text;
    EXPECT_EQ(ep.port, c.port) << c.text;
  }
}

}  // namespace
}  // namespace ar
