#include "tests/support/OstrelFolder.h"

#include "store/DataFolder.h"
#include "store/DatabaseFiles.h"
#include "store/Schema.h"
#include "tests/support/TestData.h"

#include <cstdio>
#include <stdexcept>

namespace ar::test {

OstrelFolder::OstrelFolder() {
  if (!CopyFile(std::string(AR_BIN_DIR) + "/autoresponder.tem", AutoresponderDbPath(Path())) ||
      !CopyFile(std::string(AR_BIN_DIR) + "/subscribers.tem", SubscribersDbPath(Path())))
    throw std::runtime_error("cannot seed " + Path() + " from the program folder");
  CreateDataSubfolders(Path());
}

void OstrelFolder::SetSmtpServer(const std::string& server) {
  DatabaseFiles files;
  files.Open(Path());
  files.config.Execute("update tblConfiguration set SMTPServer=?, HELOName='client.test'", {server});
}

int64_t OstrelFolder::AddAutoresponder(const std::string& name) {
  DatabaseFiles files;
  files.Open(Path());
  files.config.Execute("insert into tblAutoresponders (AutoresponderName, Active) values (?, -1)", {name});
  const int64_t id = files.config.LastInsertId();
  CreateSubscriberTable(files.subscribers, id);
  return id;
}

int64_t OstrelFolder::AddEvent(int64_t autoresponder, const std::string& name, int interval) {
  DatabaseFiles files;
  files.Open(Path());
  return InsertEvent(files.config, autoresponder,
                     {{"EventName", name}, {"EventInterval", interval}, {"Active", true}, {"Subject", name},
                      {"FromAddress", "news@example.com"}, {"FromName", "News"}, {"PlainTextOnly", true},
                      {"UseFilesForMessageBodies", false}, {"PlainTextMessage", "Hello."}});
}

std::string OstrelFolder::Address(const std::string& prefix, int i) {
  char number[16];
  std::snprintf(number, sizeof number, "%05d", i);
  return prefix + number + "@rcpt.test";
}

void OstrelFolder::AddSubscribers(int64_t autoresponder, const std::string& prefix, int count, int daysAgo,
                                  const Value& lastEvent) {
  DatabaseFiles files;
  files.Open(Path());
  const std::string insert = "insert into " + SubscriberTable(autoresponder) +
                             " (EmailAddress, AddedDate, LastEventSentTime, LastAutoresponderEventID)"
                             " values (?, now()-?, CASE WHEN ? IS NULL THEN NULL ELSE now()-? END, ?)";
  files.subscribers.Execute("BEGIN");
  for (int i = 0; i < count; ++i)
    files.subscribers.Execute(insert, {Address(prefix, i), daysAgo, lastEvent, daysAgo, lastEvent});
  files.subscribers.Execute("COMMIT");
}

std::vector<std::string> OstrelFolder::Environment(const std::vector<std::string>& extra) const {
  std::vector<std::string> env = {"AUTORESPONDER_DATA=" + Path(), "DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="};
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

void OstrelFolder::ConfigExecute(const std::string& sql, const std::vector<Value>& params) {
  DatabaseFiles files;
  files.Open(Path());
  files.config.Execute(sql, params);
}

Value OstrelFolder::SubscriberScalar(const std::string& sql, const std::vector<Value>& params) const {
  DatabaseFiles files;
  files.Open(Path());
  return files.subscribers.Scalar(sql, params);
}

Value OstrelFolder::ConfigScalar(const std::string& sql, const std::vector<Value>& params) const {
  DatabaseFiles files;
  files.Open(Path());
  return files.config.Scalar(sql, params);
}

}  // namespace ar::test
