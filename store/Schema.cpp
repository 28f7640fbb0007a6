#include "store/Schema.h"

#include "base/FileMode.h"

#include <sys/stat.h>
#include <unistd.h>

namespace ar {
namespace {

// Text columns fold letter case in comparisons, as every statement of the system expects.
constexpr const char* kAutoresponderTables[] = {
    "CREATE TABLE tblConfiguration ("
    "SMTPServer TEXT COLLATE NOCASE, SMTPUsername TEXT COLLATE NOCASE, SMTPPassword TEXT,"
    "EnableSMTPSSL INTEGER, HELOName TEXT COLLATE NOCASE, EnablePreflight INTEGER,"
    "POPCycleMinutes INTEGER, EnableDailySummaryEmail INTEGER,"
    "SummaryReportEmail TEXT COLLATE NOCASE, SummaryReportEmailTime TEXT COLLATE NOCASE,"
    "DefaultTemplate TEXT COLLATE NOCASE, SMTPSessions INTEGER)",

    "CREATE TABLE tblAutoresponders ("
    "AutoresponderID INTEGER PRIMARY KEY AUTOINCREMENT,"
    "AutoresponderName TEXT COLLATE NOCASE, Active INTEGER,"
    "TimeOfDayToRespond TEXT COLLATE NOCASE, LastRespondTime REAL,"
    "LastStatus TEXT COLLATE NOCASE, POPServer TEXT COLLATE NOCASE,"
    "POPUsername TEXT COLLATE NOCASE, POPPassword TEXT, EnablePOPSSL INTEGER,"
    "ResponseServerType TEXT COLLATE NOCASE, ResponseIMAPFolder TEXT COLLATE NOCASE)",

    "CREATE TABLE tblAutoresponderEvents ("
    "AutoresponderEventID INTEGER PRIMARY KEY AUTOINCREMENT,"
    "AutoresponderID INTEGER, EventName TEXT COLLATE NOCASE, EventInterval INTEGER,"
    "Active INTEGER, Subject TEXT COLLATE NOCASE, FromAddress TEXT COLLATE NOCASE,"
    "FromName TEXT COLLATE NOCASE, ReplyToAddress TEXT COLLATE NOCASE,"
    "AttachmentFileName TEXT COLLATE NOCASE, PlainTextOnly INTEGER,"
    "UseFilesForMessageBodies INTEGER, HTMLMessageFile TEXT COLLATE NOCASE,"
    "PlainTextMessageFile TEXT COLLATE NOCASE, PlainTextMessage TEXT COLLATE NOCASE,"
    "DisableWYSIWYG INTEGER)",
    "CREATE INDEX IX_EventsByAutoresponder ON tblAutoresponderEvents (AutoresponderID)",

    "CREATE TABLE tblBlackoutDays ("
    "ID INTEGER PRIMARY KEY AUTOINCREMENT, BlackoutDay REAL, BlackoutDescription TEXT COLLATE NOCASE)",

    "CREATE TABLE tblStatus ("
    "LastOstrelRun REAL, LastSMTPStatus INTEGER, LastPOPStatus INTEGER,"
    "LastNewSubscribers INTEGER, LastEmailsSent INTEGER)",

    "INSERT INTO tblConfiguration (SMTPServer, SMTPUsername, SMTPPassword, EnableSMTPSSL, HELOName,"
    " EnablePreflight, POPCycleMinutes, EnableDailySummaryEmail, SummaryReportEmail,"
    " SummaryReportEmailTime, DefaultTemplate, SMTPSessions)"
    " VALUES ('', '', '', 0, '', 0, 15, 0, '', '', '', 1)",
    "INSERT INTO tblStatus (LastOstrelRun, LastSMTPStatus, LastPOPStatus, LastNewSubscribers, LastEmailsSent)"
    " VALUES (NULL, 0, 0, 0, 0)",
};

}  // namespace

void CreateAutoresponderSchema(Connection& config) {
  for (const char* sql : kAutoresponderTables) config.Execute(sql);
}

void UpgradeAutoresponderSchema(Connection& config) {
  const bool present = config
                           .Scalar("select count(*) from pragma_table_info('tblConfiguration')"
                                   " where name='SMTPSessions' COLLATE NOCASE")
                           .AsInteger() > 0;
  // Null, as the added column holds, is one session at a time: what the database did before.
  if (!present) config.Execute("ALTER TABLE tblConfiguration ADD COLUMN SMTPSessions INTEGER");
}

void CreateSubscribersSchema(Connection& subscribers) {
  subscribers.Execute("CREATE TABLE tblDeDupe (TheCount INTEGER, EmailAddress TEXT COLLATE NOCASE)");
}

std::string SubscriberTable(int64_t autoresponderId) {
  std::string name = std::to_string(autoresponderId);
  name.insert(name.begin(), '[');
  name.push_back(']');
  return name;
}

void CreateSubscriberTable(Connection& subscribers, int64_t autoresponderId) {
  const std::string table = SubscriberTable(autoresponderId);
  // The AddedDate default is part of the table definition (SQLite has no ALTER COLUMN),
  // and the index name carries the table's number since index names are file-wide.
  subscribers.Execute("CREATE TABLE " + table +
                      " (SubscriberID INTEGER PRIMARY KEY AUTOINCREMENT,"
                      "EmailAddress TEXT COLLATE NOCASE CHECK (length(EmailAddress) <= 100),"
                      "LastAutoresponderEventID INTEGER,UnsubscribeDate REAL,LastEventSentTime REAL,"
                      "TempLastEventSentTime REAL,AddedDate REAL DEFAULT (now()))");
  subscribers.Execute("CREATE INDEX [IX_TEST_" + std::to_string(autoresponderId) + "] ON " + table +
                      " (EmailAddress)");
}

void DropSubscriberTable(Connection& subscribers, int64_t autoresponderId) {
  try {
    subscribers.Execute("drop table " + SubscriberTable(autoresponderId));
  } catch (const DbError&) {
    // A table that is not there is as good as dropped.
  }
}

Connection CreateDatabaseFile(const std::string& path) {
  ::unlink(path.c_str());
  Connection::Options options;
  options.create = true;
  Connection c = Connection::Open(path, options);
  ::chmod(path.c_str(), kPrivateFileMode);
  return c;
}

}  // namespace ar
