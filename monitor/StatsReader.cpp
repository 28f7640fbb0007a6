#include "monitor/StatsReader.h"

#include "monitor/Statistics.h"

#include <exception>
#include <initializer_list>

namespace ar {
namespace {

constexpr const char* kLoadTrap = "frmtamsel_load: ";
constexpr const char* kRefreshTrap = "frmtamsel:RefreshStats: ";

std::optional<StatusRow> ReadStatusRow(Connection& config) {
  RowSet rs = config.Query("select * from tblStatus");
  if (rs.Eof()) return std::nullopt;
  StatusRow row;
  row.lastOstrelRun = rs.Field("LastOstrelRun");
  row.lastNewSubscribers = NullToDefault(rs.Field("LastNewSubscribers"), int64_t{0});
  row.lastEmailsSent = NullToDefault(rs.Field("LastEmailsSent"), int64_t{0});
  row.smtpError = NullToDefault(rs.Field("LastSMTPStatus"), false);
  row.popError = NullToDefault(rs.Field("LastPOPStatus"), false);
  return row;
}

}  // namespace

void StatsReader::Open() {
  files_.Open(dataFolder_);
  for (Connection* c : {&files_.config, &files_.subscribers}) {
    // The monitor only reads; the engine holds it to that.
    c->Execute("PRAGMA query_only=1");
    // The counts scan whole subscriber tables every few seconds: reading the file through
    // a memory map instead of copying each page costs about a third less.
    c->Scalar("PRAGMA mmap_size=268435456");
  }
}

DatabaseFigures StatsReader::Read(bool withCounts) {
  DatabaseFigures figures;
  const char* trap = loaded_ ? kRefreshTrap : kLoadTrap;
  loaded_ = true;
  try {
    if (!files_.IsOpen()) Open();
    figures.status = ReadStatusRow(files_.config);
    if (withCounts) {
      figures.emailsSent = EmailsSentLast24Hours(files_.config, files_.subscribers, traps_);
      figures.newSubscribers = NewSubscribersLast24Hours(files_.config, files_.subscribers, traps_);
    }
    figures.activeAutoresponders = ActiveAutoresponderCount(files_.config);
    if (withCounts) figures.unsubscribes = NumberUnSubscribesLast24Hours(files_.config, files_.subscribers, traps_);
    figures.counted = withCounts;
  } catch (const std::exception& e) {
    files_.Close();
    DatabaseFigures failed;
    failed.error = e.what();
    traps_.Report(trap, {failed.error});
    return failed;
  }
  traps_.Report(kRefreshTrap, {});
  return figures;
}

}  // namespace ar
