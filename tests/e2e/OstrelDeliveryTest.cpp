// The road of a subscription end to end: subscriber rows in a data folder seeded from the
// build's databases, the real ostrel program, a real SMTP server, the delivered messages.
#include "base/Clock.h"
#include "store/DataFolder.h"
#include "store/DatabaseFiles.h"
#include "store/Schema.h"
#include "tests/support/MimeParser.h"
#include "tests/support/RealSmtp.h"
#include "tests/support/Subprocess.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace ar {
namespace {

TEST(OstrelDelivery, DueEventsReachTheServerAndAreRecorded) {
  if (const std::string why = test::RealSmtpServer::Unavailable(); !why.empty()) GTEST_SKIP() << why;
  test::TempFolder serverFolder, data;
  ::chmod(serverFolder.Path().c_str(), 0755);
  test::TestCa ca(serverFolder.Path(), "e2e");
  test::RealSmtpServer server(serverFolder.Path(), ca.IssueLoopbackServer(), "ann@mail.test", "pa55word!");

  ASSERT_TRUE(CopyFile(std::string(AR_BIN_DIR) + "/autoresponder.tem", AutoresponderDbPath(data.Path())));
  ASSERT_TRUE(CopyFile(std::string(AR_BIN_DIR) + "/subscribers.tem", SubscribersDbPath(data.Path())));
  CreateDataSubfolders(data.Path());
  int64_t id = 0, welcome = 0, tomorrow = 0;
  {
    DatabaseFiles files;
    files.Open(data.Path());
    files.config.Execute("update tblConfiguration set SMTPServer=?, HELOName='client.test'",
                         {"127.0.0.1:" + std::to_string(server.PlainPort())});
    files.config.Execute("insert into tblAutoresponders (AutoresponderName, Active, TimeOfDayToRespond) values ('news', -1, '')");
    id = files.config.LastInsertId();
    CreateSubscriberTable(files.subscribers, id);
    const char* event =
        "insert into tblAutoresponderEvents (AutoresponderID, EventName, EventInterval, Active, Subject, FromAddress,"
        " FromName, PlainTextOnly, UseFilesForMessageBodies, PlainTextMessage) values (?,?,?,-1,?,'news@example.com','News',?,0,?)";
    files.config.Execute(event, {Value(id), "welcome", 0, "Welcome aboard", true, "Hello and welcome."});
    welcome = files.config.LastInsertId();
    files.config.Execute(event, {Value(id), "day one", 1, "Your first day", false, "Day one, in plain text."});
    tomorrow = files.config.LastInsertId();
    test::WriteWholeFile(data.Path() + "/content/" + std::to_string(tomorrow) + ".html",
                         "<html><body><p>Day one</p></body></html>\r\n");
    const std::string table = SubscriberTable(id);
    // new@ joined now and has had nothing; old@ joined yesterday and had the welcome.
    files.subscribers.Execute("insert into " + table + " (EmailAddress) values ('new@rcpt.test')");
    files.subscribers.Execute("insert into " + table +
                                  " (EmailAddress, AddedDate, LastEventSentTime, LastAutoresponderEventID)"
                                  " values ('old@rcpt.test', now()-1, now()-1, ?)",
                              {Value(welcome)});
    files.subscribers.Execute("insert into " + table + " (EmailAddress, UnsubscribeDate) values ('gone@rcpt.test', now())");
  }

  const test::ProcessResult r =
      test::RunProgram("ostrel", {"0"}, {"AUTORESPONDER_DATA=" + data.Path(), "DISPLAY=", "WAYLAND_DISPLAY="});
  ASSERT_EQ(r.exitCode, 0) << r.err;

  const std::vector<std::string> toNew = test::MailboxMessages(server.WaitForMailbox("new", 1));
  const std::vector<std::string> toOld = test::MailboxMessages(server.WaitForMailbox("old", 1));
  ASSERT_EQ(toNew.size(), 1u);
  ASSERT_EQ(toOld.size(), 1u);
  EXPECT_NE(toNew[0].find("Subject: Welcome aboard\r\n"), std::string::npos) << toNew[0];
  EXPECT_NE(toNew[0].find("Hello and welcome."), std::string::npos);
  const test::ParsedMessage html = test::ParseMimeMessage(toOld[0]);
  EXPECT_EQ(html.subject, "Your first day");
  EXPECT_NE(toOld[0].find("<p>Day one</p>"), std::string::npos) << toOld[0];

  DatabaseFiles files;
  files.Open(data.Path());
  RowSet rows = files.subscribers.Query("select * from " + SubscriberTable(id) + " order by SubscriberID");
  for (; !rows.Eof(); rows.MoveNext()) {
    const std::string who = rows.Field("EmailAddress").AsText();
    EXPECT_TRUE(rows.Field("TempLastEventSentTime").IsNull()) << who;
    if (who == "gone@rcpt.test") {
      EXPECT_TRUE(rows.Field("LastEventSentTime").IsNull());
    } else {
      EXPECT_GT(rows.Field("LastEventSentTime").AsReal(), NowDays() - 0.1) << who;
      EXPECT_EQ(rows.Field("LastAutoresponderEventID").AsInteger(), who == "new@rcpt.test" ? welcome : tomorrow);
    }
  }
  RowSet status = files.config.Query("select * from tblStatus");
  EXPECT_EQ(status.Field("LastSMTPStatus").AsInteger(), 0);
  EXPECT_FALSE(status.Field("LastOstrelRun").IsNull());
  // What the monitor's "Last processed" line shows of the run.
  EXPECT_EQ(status.Field("LastEmailsSent").AsInteger(), 2);
  EXPECT_EQ(status.Field("LastNewSubscribers").AsInteger(), 0);
}

}  // namespace
}  // namespace ar
