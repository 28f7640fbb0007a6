#pragma once
// The summary report: a plain-text overview of every active autoresponder and its
// events, written afresh to "/reports/summaryreport.txt" in the data folder.
#include "store/Connection.h"

#include <string>

namespace ar {

std::string SummaryReportPath(const std::string& dataFolder);

// Writes the report, one line per item ended by LF, in the private file mode. An error
// stops it where it is (the lines before it stay), is traced (forced) and returned:
// nothing is thrown, not even when the trace line cannot be written. The result is
// empty when the whole report was written.
std::string CreateSummaryReport(Connection& main, Connection& subscribers, const std::string& dataFolder);

// Whether the daily summary is due at this moment: enabled, a time is set, and its hour
// and minute are the current ones. now: the local day number. A time that cannot be read
// is not due and is traced (forced); a database error reaches the caller.
bool DailySummaryDue(Connection& main, double now);

}  // namespace ar
