#include "monitor/RefreshLines.h"

#include "base/DayNumber.h"

namespace ar {

std::string LastProcessedLine(const StatusRow& row) {
  const Value& run = row.lastOstrelRun;
  const std::string when = run.IsNull() ? "" : run.IsText() ? run.AsText() : FormatGeneralDateTime(run.AsReal());
  return "Last processed: " + when + " - New: " + std::to_string(row.lastNewSubscribers) +
         " - Sent: " + std::to_string(row.lastEmailsSent);
}

std::vector<std::string> RefreshLines::For(const DatabaseFigures& figures) {
  std::vector<std::string> lines;
  if (!figures.error.empty()) {
    if (figures.error != failure_) lines.push_back("The databases cannot be read: " + figures.error);
    failure_ = figures.error;
    return lines;
  }
  if (!failure_.empty()) lines.push_back("The databases can be read again");
  failure_.clear();
  if (figures.status && (!lastSeenRun_ || !(*lastSeenRun_ == figures.status->lastOstrelRun))) {
    lines.push_back(LastProcessedLine(*figures.status));
    lastSeenRun_ = figures.status->lastOstrelRun;
  }
  return lines;
}

}  // namespace ar
