#include "control/SubscriberExport.h"

#include "store/DayNumber.h"
#include "store/DurableFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <unistd.h>
#include <utility>

namespace ar {
namespace {

const char* const kColumnNames[] = {"SubscriberID",      "EmailAddress",     "AddedDate", "LastAutoresponderEventID",
                                    "LastEventSentTime", "UnsubscribeDate"};

// The file under a temporary name in the target's folder, renamed over the target by
// Commit; removed when it is abandoned.
class ExportFile {
 public:
  explicit ExportFile(const std::string& path) : path_(path), temporary_(path + ".XXXXXX") {
    fd_ = ::mkstemp(temporary_.data());
    if (fd_ < 0) Fail("cannot create", errno);
  }
  ~ExportFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_) ::unlink(temporary_.c_str());
  }
  ExportFile(const ExportFile&) = delete;
  ExportFile& operator=(const ExportFile&) = delete;

  void Write(std::string_view text) {
    buffer_.append(text);
    if (buffer_.size() >= kFlushBytes) Flush();
  }
  void Commit() {
    Flush();
    if (::fsync(fd_) != 0) Fail("cannot write", errno);
    const int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0) Fail("cannot write", errno);
    if (!MoveFile(temporary_, path_)) Fail("cannot write", errno);
    committed_ = true;
  }

 private:
  static constexpr std::size_t kFlushBytes = 64 * 1024;

  void Flush() {
    std::string_view rest = buffer_;
    while (!rest.empty()) {
      const ssize_t n = ::write(fd_, rest.data(), rest.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) Fail("cannot write", n < 0 ? errno : ENOSPC);
      rest.remove_prefix(static_cast<std::size_t>(n));
    }
    buffer_.clear();
  }
  [[noreturn]] void Fail(const char* what, int error) {
    throw std::runtime_error(std::string(what) + " " + path_ + ": " + std::strerror(error));
  }

  std::string path_;
  std::string temporary_;
  int fd_ = -1;
  bool committed_ = false;
  std::string buffer_;
};

void AppendValue(std::string& line, std::string_view value) {
  const std::size_t start = line.size();
  line.append(value);
  std::replace(line.begin() + static_cast<std::ptrdiff_t>(start), line.end(), '\n', ' ');
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
