#include "control/program/SummaryReport.h"

#include "base/DayNumber.h"
#include "base/FileMode.h"
#include "base/Trace.h"
#include "store/ConfigurationRow.h"
#include "store/Schema.h"
#include "store/Value.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace ar {
namespace {

constexpr const char* kReportTrap = "basAutoResponderSpecific:CreateSummaryReport: ";
constexpr const char* kTimerTrap = "frmMain/timerSummaryReportEmail_Timer: ";

// The report file, replaced on open; every line goes to the file as it is written, so an
// error leaves the lines before it. Closed by its destructor, so an error never keeps the
// file from the next report.
class ReportFile {
 public:
  explicit ReportFile(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kPrivateFileMode);
    if (fd_ < 0) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
    // A file left by an earlier version may be readable by everyone: take those bits away.
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && (st.st_mode & 07777 & ~kPrivateFileMode) != 0)
      (void)::fchmod(fd_, st.st_mode & kPrivateFileMode);
  }
  ~ReportFile() { ::close(fd_); }
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;

  void Line(const std::string& text) {
    const std::string line = text + "\n";
    size_t done = 0;
    while (done < line.size()) {
      const ssize_t n = ::write(fd_, line.data() + done, line.size() - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        throw std::runtime_error("cannot write " + path_ + ": " + std::strerror(errno));
      }
      done += static_cast<size_t>(n);
    }
  }

 private:
  std::string path_;
  int fd_ = -1;
};

// A count statement's result as digits; no row reads as 0.
std::string CountText(const Value& count) { return NullToDefault(count, "0"); }

void WriteReport(Connection& main, Connection& subscribers, ReportFile& out) {
  RowSet autoresponders = main.Query("select * from tblAutoresponders where Active<>0 order by AutoresponderID");
  for (; !autoresponders.Eof(); autoresponders.MoveNext()) {
    const int64_t id = autoresponders.Field("AutoresponderID").AsInteger();
    const std::string table = SubscriberTable(id);
    out.Line("Autoresponder Name: " + NullToDefault(autoresponders.Field("AutoresponderName"), ""));

    // Every row of the list, unsubscribed ones included.
    out.Line("      Subscribers: " + CountText(subscribers.Scalar("select count(SubscriberID) as TheCount from " + table)));
    // Subscribers sent any event in the last 24 hours, each once.
    out.Line("      Sent Last 24hrs: " +
             CountText(subscribers.Scalar("select count(SubscriberID) as TheCount from " + table +
                                          " where LastEventSentTime>(now()-1)")));

    const Value& lastRun = autoresponders.Field("LastRespondTime");
    out.Line("      Last Run Time: " + (lastRun.IsNull() ? std::string("Not run yet") : FormatGeneralDateTime(lastRun.AsReal())));

    RowSet events = main.Query(
        "select * from tblAutoresponderEvents where AutoresponderID=? order by EventInterval,AutoresponderEventID", {id});
    for (; !events.Eof(); events.MoveNext()) {
      out.Line("   Event Name: " + NullToDefault(events.Field("EventName"), ""));
      out.Line("      Days: " + NullToDefault(events.Field("EventInterval"), ""));
      out.Line(std::string("      Active: ") + (NullToDefault(events.Field("Active"), false) ? "True" : "False"));
      // Subscribers whose most recent message, sent in the last 24 hours, was this event.
      out.Line("      Sent Last 24hrs: " +
               CountText(subscribers.Scalar("select count(SubscriberID) as TheCount from " + table +
                                                " where LastEventSentTime>(now()-1) and LastAutoresponderEventID=?",
                                            {events.Field("AutoresponderEventID")})));
    }
  }
}

}  // namespace

std::string SummaryReportPath(const std::string& dataFolder) { return dataFolder + "/reports/summaryreport.txt"; }

std::string CreateSummaryReport(Connection& main, Connection& subscribers, const std::string& dataFolder) {
  try {
    ReportFile out(SummaryReportPath(dataFolder));
    WriteReport(main, subscribers, out);
  } catch (const std::exception& e) {
    TraceLogNoThrow(kReportTrap + std::string(e.what()), true);
    return e.what();
  }
  return "";
}

bool DailySummaryDue(Connection& main, double now) {
  const ConfigurationRow config = ConfigurationRow::Read(main);
  if (!config.Exists() || !config.EnableDailySummaryEmail()) return false;
  const std::string when = config.SummaryReportEmailTime();
  if (when.empty()) return false;
  int hour = 0, minute = 0, second = 0;
  if (!ParseTimeOfDay(when, hour, minute, second)) {
    TraceLogNoThrow(kTimerTrap + std::string("SummaryReportEmailTime is not a time of day: \"") + when + "\"", true);
    return false;
  }
  char hhnn[16];
  std::snprintf(hhnn, sizeof hhnn, "%02d%02d", hour, minute);
  return hhnn == FormatHHNN(now);
}

}  // namespace ar
