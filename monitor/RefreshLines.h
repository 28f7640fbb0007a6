#pragma once
// The time-stamped lines a refresh adds to the monitor's event list: the outcome of each
// new processing run, and when the databases stop or start again being readable.
#include "monitor/StatsReader.h"

#include <optional>
#include <string>
#include <vector>

namespace ar {

// "Last processed: " + LastOstrelRun + " - New: " + LastNewSubscribers + " - Sent: " +
// LastEmailsSent; the run time in the general date-time form (empty when Null).
std::string LastProcessedLine(const StatusRow& row);

class RefreshLines {
 public:
  // The first refresh that reads the status row adds its line; later ones only when
  // LastOstrelRun has changed. A failure to read adds one line until its reason changes,
  // and the next refresh that reads again says so.
  std::vector<std::string> For(const DatabaseFigures& figures);

 private:
  std::optional<Value> lastSeenRun_;
  std::string failure_;
};

}  // namespace ar
