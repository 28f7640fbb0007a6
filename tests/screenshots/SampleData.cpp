#include "tests/screenshots/SampleData.h"

#include "base/Clock.h"
#include "store/Connection.h"
#include "store/DataFolder.h"
#include "store/DatabaseFiles.h"
#include "store/Schema.h"
#include "tests/support/TempFolder.h"

#include <cstdint>
#include <string>

namespace ar::shots {
namespace {

struct SampleAutoresponder {
  const char* name;
  bool active;
  const char* timeOfDay;
  const char* lastStatus;
  int subscribers;
};

const SampleAutoresponder kAutoresponders[] = {
    {"Spring Gardening Course", true, "9:00am", "OK", 1250},
    {"Newsletter Welcome", true, "", "OK", 342},
    {"Product Launch Follow-up", false, "", "SMTP server not specified", 57},
    {"Customer Survey", true, "2:30pm", "Error connecting to POP server", 18},
    {"Old Webinar Series", false, "10:00am", "", 0},
};

const char* const kEvents[] = {"Welcome", "Day 1: Getting started", "Day 3: Tips", "Day 7: Special offer"};
const int kIntervals[] = {0, 1, 3, 7};

// The first event's HTML body is a shipped template, as an operator would start from.
void AddWelcomeBody(Connection& config, const std::string& folder, int64_t autoresponderId) {
  const int64_t eventId = NullToDefault(
      config.Scalar("select min(AutoresponderEventID) from tblAutoresponderEvents where AutoresponderID=?",
                    {autoresponderId}),
      int64_t{0});
  test::WriteWholeFile(folder + "/content/" + std::to_string(eventId) + ".html",
                       test::ReadWholeFile(std::string(AR_SOURCE_DIR) + "/control/window/assets/templates/Welcome Letter.html"));
  config.Execute(
      "update tblAutoresponderEvents set PlainTextOnly=0, UseFilesForMessageBodies=0, DisableWYSIWYG=0,"
      " AttachmentFileName='', PlainTextMessage=? where AutoresponderEventID=?",
      {std::string("Hello,\r\n\r\nThank you for signing up. Over the next few days you will receive a short series"
                   " of messages with everything you need to get started.\r\n\r\nBest regards,\r\nThe Team\r\n"),
       eventId});
}

}  // namespace

void MakeSampleDataFolder(const std::string& folder) {
  MakeFolders(folder + "/debug");
  MakeFolders(folder + "/content");
  MakeFolders(folder + "/reports");
  MakeFolders(folder + "/templates");
  Connection config = CreateDatabaseFile(AutoresponderDbPath(folder));
  CreateAutoresponderSchema(config);
  Connection subscribers = CreateDatabaseFile(SubscribersDbPath(folder));
  CreateSubscribersSchema(subscribers);

  config.Execute(
      "update tblConfiguration set SMTPServer='mail.example.com:587', SMTPUsername='news@example.com',"
      " SMTPPassword='secret', POPCycleMinutes=15, SummaryReportEmail='owner@example.com',"
      " SummaryReportEmailTime='7:00am', EnableDailySummaryEmail=-1, HELOName='mail.example.com'");
  const double today = static_cast<double>(static_cast<int64_t>(NowDays()));
  config.Execute("insert into tblBlackoutDays (BlackoutDay, BlackoutDescription) values (?, ?)",
                 {today, std::string("Company holiday")});
  config.Execute("insert into tblBlackoutDays (BlackoutDay, BlackoutDescription) values (?, ?)",
                 {today + 14, std::string("Server maintenance")});
  config.Execute("insert into tblBlackoutDays (BlackoutDay, BlackoutDescription) values (?, ?)",
                 {today + 30, std::string("")});

  for (const SampleAutoresponder& a : kAutoresponders) {
    config.Execute(
        "insert into tblAutoresponders (AutoresponderName, Active, TimeOfDayToRespond, LastStatus, POPServer,"
        " POPUsername, POPPassword, EnablePOPSSL, ResponseServerType, ResponseIMAPFolder)"
        " values (?, ?, ?, ?, 'mail.example.com', 'course@example.com', 'secret', -1, 'IMAP4', 'INBOX')",
        {std::string(a.name), a.active, std::string(a.timeOfDay), std::string(a.lastStatus)});
    const int64_t id = config.LastInsertId();
    CreateSubscriberTable(subscribers, id);
    for (int e = 0; e < 4; ++e)
      config.Execute(
          "insert into tblAutoresponderEvents (AutoresponderID, EventName, EventInterval, Active, FromAddress,"
          " FromName, ReplyToAddress, Subject) values (?, ?, ?, ?, 'news@example.com', 'Course Team',"
          " 'news@example.com', ?)",
          {id, std::string(kEvents[e]), kIntervals[e], e < 3, std::string(kEvents[e])});
    if (&a == &kAutoresponders[0]) AddWelcomeBody(config, folder, id);
    const std::string table = "[" + std::to_string(id) + "]";
    subscribers.Execute("BEGIN");
    for (int s = 0; s < a.subscribers; ++s)
      subscribers.Execute("insert into " + table + " (EmailAddress, AddedDate, UnsubscribeDate) values (?, ?, ?)",
                          {"reader" + std::to_string(s + 1) + "@example.org", today - (s % 30),
                           s % 10 == 9 ? Value(today - 1) : Value()});
    subscribers.Execute("COMMIT");
    // Most have had the first event, some the second as well.
    const Value firstEvent =
        config.Scalar("select min(AutoresponderEventID) from tblAutoresponderEvents where AutoresponderID=?", {id});
    subscribers.Execute("update " + table + " set LastAutoresponderEventID=?, LastEventSentTime=AddedDate+0.01"
                        " where SubscriberID % 4 <> 0", {firstEvent});
    subscribers.Execute("update " + table + " set LastAutoresponderEventID=?, LastEventSentTime=AddedDate+1.3"
                        " where SubscriberID % 4 = 1 AND AddedDate<?", {firstEvent.AsInteger() + 1, today - 1});
  }
}

}  // namespace ar::shots
