#include "control/autoresponders/AutoresponderSettings.h"

#include "base/Text.h"

#include <stdexcept>

namespace ar {

std::optional<AutoresponderSettings> LoadAutoresponderSettings(Connection& main, int64_t autoresponderId) {
  RowSet row = main.Query("select * from tblAutoresponders where AutoresponderID=?", {autoresponderId});
  if (row.Eof()) return std::nullopt;
  AutoresponderSettings s;
  s.name = NullToDefault(row.Field("AutoresponderName"), "");
  s.timeOfDay = NullToDefault(row.Field("TimeOfDayToRespond"), "");
  s.active = NullToDefault(row.Field("Active"), false);
  s.popServer = NullToDefault(row.Field("POPServer"), "");
  s.popUsername = NullToDefault(row.Field("POPUsername"), "");
  s.popPassword = NullToDefault(row.Field("POPPassword"), "");
  s.enablePopSsl = NullToDefault(row.Field("EnablePOPSSL"), false);
  s.serverType = NullToDefault(row.Field("ResponseServerType"), "") == "IMAP4" ? "IMAP4" : "POP3";
  s.imapFolder = NullToDefault(row.Field("ResponseIMAPFolder"), "INBOX");
  return s;
}

void SaveAutoresponderSettings(Connection& main, int64_t autoresponderId, const AutoresponderSettings& s) {
  main.Execute(
      "update tblAutoresponders set AutoresponderName=?, TimeOfDayToRespond=?, POPServer=?, POPUsername=?,"
      " POPPassword=?, EnablePOPSSL=?, Active=?, ResponseIMAPFolder=?, ResponseServerType=?"
      " where AutoresponderID=?",
      {s.name, s.timeOfDay, s.popServer, s.popUsername, s.popPassword, s.enablePopSsl, s.active,
       LeftCharacters(s.imapFolder, kImapFolderColumnSize), LeftCharacters(s.serverType, kServerTypeColumnSize),
       autoresponderId});
  if (main.Changes() == 0) throw std::runtime_error("This autoresponder no longer exists");
}


}  // namespace ar
