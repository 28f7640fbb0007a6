#pragma once
// Database maintenance at the control program's start: a leftover backup is dealt with,
// then each database is compacted into a fresh copy of itself, the backup (.bak) being
// the file as it was before. Maintenance is skipped when another program has the
// databases open.
#include "mail/SummaryMail.h"

#include <functional>
#include <string>

namespace ar {

extern const char* const kProblemTextA;
extern const char* const kProblemTextB;
extern const char* const kProblemTextC;

struct MaintenanceHooks {
  // Compacts the database in `from` into the new file `to` (default: VACUUM INTO).
  std::function<void(const std::string& from, const std::string& to)> compact;
  // Reports a problem text (a message box titled "Autoresponder Database Problem", or an
  // event-log entry in service mode).
  std::function<void(const std::string& text)> problem;
  // Trace lines of the steps (unforced).
  std::function<void(const std::string& line)> trace;
};

enum class MaintenanceOutcome { Done, SkippedInUse, Abandoned };

MaintenanceOutcome MaintainDatabases(const std::string& dataFolder, const MaintenanceHooks& hooks);

// The default compaction: the database in `from` copied into a new file `to` by VACUUM INTO.
void VacuumInto(const std::string& from, const std::string& to);

}  // namespace ar
