#include "tests/support/TestDatabases.h"

#include "base/DayNumber.h"
#include "store/DataFolder.h"
#include "store/DatabaseFiles.h"
#include "store/Schema.h"

namespace ar::test {

TestDatabases::TestDatabases() {
  {
    Connection c = CreateDatabaseFile(AutoresponderDbPath(Folder()));
    CreateAutoresponderSchema(c);
    Connection s = CreateDatabaseFile(SubscribersDbPath(Folder()));
    CreateSubscribersSchema(s);
  }
  MakeFolders(Folder() + "/debug");
  Reopen();
}

void TestDatabases::Reopen() {
  Connection::Options options;
  options.busyTimeoutMs = 5000;
  config_ = Connection::Open(AutoresponderDbPath(Folder()), options);
  subscribers_ = Connection::Open(SubscribersDbPath(Folder()), options);
}

int64_t TestDatabases::AddAutoresponder(const std::string& name, bool active, const std::string& popServer) {
  config_.Execute(
      "insert into tblAutoresponders (AutoresponderName, Active, POPServer, POPUsername, POPPassword, EnablePOPSSL,"
      " ResponseServerType, ResponseIMAPFolder, TimeOfDayToRespond, LastStatus) values (?,?,?,'user','secret',0,'POP3','','','')",
      {name, active, popServer});
  const int64_t id = config_.LastInsertId();
  CreateSubscriberTable(subscribers_, id);
  return id;
}

void TestDatabases::SetSmtpServer(const std::string& server) {
  config_.Execute("update tblConfiguration set SMTPServer=?", {server});
}

double Day(int year, int month, int day, int hour, int minute, int second) {
  return ToDayNumber(CivilTime{year, month, day, hour, minute, second, 0});
}

}  // namespace ar::test
