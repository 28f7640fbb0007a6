#include "control/subscribers/SubscriberExport.h"

#include "base/DayNumber.h"
#include "store/DurableFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace ar {
namespace {

const char* const kColumnNames[] = {"SubscriberID",      "EmailAddress",     "AddedDate", "LastAutoresponderEventID",
                                    "LastEventSentTime", "UnsubscribeDate"};

// The export file, written under a temporary name and renamed over the target once
// complete (owner only, as mkstemp makes it); every failure throws "cannot create" or
// "cannot write", the path and the reason.
class ExportFile {
 public:
  explicit ExportFile(const std::string& path) : path_(path), file_(path, 0600) {
    if (!file_.Created()) Fail("cannot create", errno);
  }
  void Write(std::string_view text) {
    if (!file_.Write(text)) Fail("cannot write", errno);
  }
  void Commit() {
    if (!file_.Commit()) Fail("cannot write", errno);
  }

 private:
  [[noreturn]] void Fail(const char* what, int error) {
    throw std::runtime_error(std::string(what) + " " + path_ + ": " + std::strerror(error));
  }

  std::string path_;
  ReplacingFile file_;
};

void AppendValue(std::string& line, std::string_view value) {
  const std::size_t start = line.size();
  line.append(value);
  // A line break inside a value, CR as well as LF, would split its row for the readers of
  // the file: it becomes a blank.
  std::replace_if(
      line.begin() + static_cast<std::ptrdiff_t>(start), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
}

std::string DateText(const Value& v) { return v.IsNull() ? std::string() : FormatGeneralDateTime(v.AsReal()); }

std::string PlainText(const Value& v) { return NullToDefault(v, ""); }

}  // namespace

std::string DefaultExportFileName(int64_t autoresponderId, double now) {
  const CivilTime t = FromDayNumber(now);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return "SubscriberExport_ID" + std::to_string(autoresponderId) + "_" + stamp + ".txt";
}

void ExportSubscribers(SubscriberList& list, const std::string& path, char separator) {
  ExportFile file(path);
  std::string line;
  for (const char* name : kColumnNames) {
    if (!line.empty()) line += separator;
    line += name;
  }
  file.Write(line + "\r\n");
  for (int64_t i = 0; i < list.Count(); ++i) {
    const SubscriberRow row = list.Row(i);
    if (row.id == 0) continue;  // deleted since the list was loaded
    const std::string values[] = {std::to_string(row.id),       row.address,
                                  DateText(row.addedDate),      PlainText(row.lastEventId),
                                  DateText(row.lastEventSentTime), DateText(row.unsubscribeDate)};
    line.clear();
    for (const std::string& value : values) {
      if (&value != values) line += separator;
      AppendValue(line, value);
    }
    line += "\r\n";
    file.Write(line);
  }
  file.Commit();
}

}  // namespace ar
