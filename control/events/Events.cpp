#include "control/events/Events.h"

#include "base/FileMode.h"
#include "base/Trace.h"
#include "store/ConfigurationRow.h"
#include "store/DataFolder.h"
#include "store/DatabaseFiles.h"

#include <fcntl.h>
#include <unistd.h>

namespace ar {
namespace {

// The default template's file in the program folder's templates, or "" when none is
// set or the name is not a plain file name there.
std::string DefaultTemplatePath(Connection& main, const std::string& programFolder) {
  const std::string name = ConfigurationRow::Read(main).DefaultTemplate();
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) return "";
  const std::string path = programFolder + "/templates/" + name;
  return FileExists(path) ? path : "";
}

bool CreateEmptyFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kPrivateFileMode);
  if (fd < 0) return false;
  return ::close(fd) == 0;
}

void CreateContentFile(Connection& main, const EventFolders& folders, int64_t eventId) {
  const std::string target = EventContentFilePath(folders.dataFolder, eventId);
  MakeFolders(folders.dataFolder + "/content");
  const std::string templatePath = DefaultTemplatePath(main, folders.programFolder);
  if (!templatePath.empty() && CopyFile(templatePath, target)) return;
  // A template that cannot be copied leaves an empty body rather than a partial copy.
  if (!CreateEmptyFile(target)) TraceLogNoThrow("frmProjectDetail:cmdNew_Click: cannot create " + target, true);
}

}  // namespace

std::vector<EventListRow> LoadEventList(Connection& main, int64_t autoresponderId) {
  RowSet rows = main.Query(
      "select AutoresponderEventID,AutoresponderID,EventName,EventInterval,Active from tblAutoresponderEvents"
      " where AutoresponderID=? order by EventInterval,AutoresponderEventID",
      {autoresponderId});
  std::vector<EventListRow> events;
  for (; !rows.Eof(); rows.MoveNext()) {
    EventListRow e;
    e.id = rows.Field("AutoresponderEventID").AsInteger();
    e.autoresponderId = NullToDefault(rows.Field("AutoresponderID"), int64_t{0});
    e.name = NullToDefault(rows.Field("EventName"), "");
    if (!rows.Field("EventInterval").IsNull()) e.interval = rows.Field("EventInterval").AsReal();
    e.active = NullToDefault(rows.Field("Active"), false);
    events.push_back(std::move(e));
  }
  return events;
}

std::string EventContentFilePath(const std::string& dataFolder, int64_t eventId) {
  return dataFolder + "/content/" + std::to_string(eventId) + ".html";
}

std::optional<int64_t> CreateEvent(Connection& main, const EventFolders& folders, int64_t autoresponderId,
                                   const std::string& name) {
  std::string fromAddress, fromName, replyTo;
  RowSet first = main.Query(
      "select FromAddress,FromName,ReplyToAddress from tblAutoresponderEvents where AutoresponderID=?"
      " order by AutoresponderEventID limit 1",
      {autoresponderId});
  if (!first.Eof()) {
    fromAddress = NullToDefault(first.Field("FromAddress"), "");
    fromName = NullToDefault(first.Field("FromName"), "");
    replyTo = NullToDefault(first.Field("ReplyToAddress"), "");
  }
  if (!main.Query("select AutoresponderEventID from tblAutoresponderEvents where AutoresponderID=? AND EventName=?",
                  {autoresponderId, name})
           .Eof())
    return std::nullopt;
  // A delay of 0 days rather than none: the processor passes over an event whose delay
  // is Null, even once it is made active.
  main.Execute(
      "insert into tblAutoresponderEvents (EventName, Active, AutoresponderID, FromAddress, FromName, ReplyToAddress,"
      " EventInterval) values (?, ?, ?, ?, ?, ?, 0)",
      {name, false, autoresponderId, fromAddress, fromName, replyTo});
  const int64_t eventId = main.LastInsertId();
  CreateContentFile(main, folders, eventId);
  return eventId;
}

void DeleteEvent(Connection& main, const std::string& dataFolder, int64_t eventId) {
  main.Execute("delete from tblAutoresponderEvents where AutoresponderEventID=?", {eventId});
  ::unlink(EventContentFilePath(dataFolder, eventId).c_str());
}

}  // namespace ar
