#pragma once
// What one refresh of the monitor reads from the two databases, over connections of its
// own that only read. The reader may run on a thread of its own; it is used by one thread
// at a time.
#include "monitor/TrapLines.h"
#include "store/DatabaseFiles.h"
#include "store/Value.h"

#include <cstdint>
#include <optional>
#include <string>

namespace ar {

// The row of tblStatus.
struct StatusRow {
  Value lastOstrelRun;
  int64_t lastNewSubscribers = 0;  // a Null count reads as 0
  int64_t lastEmailsSent = 0;
  bool smtpError = false;  // LastSMTPStatus true; false or Null is good
  bool popError = false;
};

struct DatabaseFigures {
  // Not empty: the databases could not be read, and nothing below is filled.
  std::string error;
  std::optional<StatusRow> status;  // empty when tblStatus has no row
  bool counted = false;             // the three 24-hour figures below were counted
  int64_t emailsSent = 0;
  int64_t newSubscribers = 0;
  std::string activeAutoresponders = "0";
  int64_t unsubscribes = 0;
};

class StatsReader {
 public:
  explicit StatsReader(std::string dataFolder) : dataFolder_(std::move(dataFolder)) {}

  // Opens the databases when they are not open (the first failure is traced as
  // "frmtamsel_load: "), then reads the status row, the active count and, with
  // withCounts, the three 24-hour figures, which scan every subscriber table. Never
  // throws: a failure is traced as "frmtamsel:RefreshStats: " and returned in error, and
  // the connections are opened afresh by the next call.
  DatabaseFigures Read(bool withCounts = true);
  bool IsOpen() const { return files_.IsOpen(); }
  void Close() { files_.Close(); }

 private:
  void Open();

  std::string dataFolder_;
  DatabaseFiles files_;
  bool loaded_ = false;  // the first opening, a step of the monitor's start, has been tried
  TrapLines traps_;
};

}  // namespace ar
