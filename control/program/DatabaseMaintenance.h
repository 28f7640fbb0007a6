#pragma once
// Database maintenance at the control program's start: a leftover backup is dealt with,
// then each database is compacted into a fresh copy of itself, the backup (.bak) being
// the file as it was before. Maintenance is skipped when another program has the
// databases open.
//
// No moment of it can lose data: the copy is written under a temporary name, made
// durable and only then renamed over the .sto; a .bak is deleted only when the .sto
// beside it opens and passes the engine's check, and is restored otherwise. A stop
// request is honoured between steps, and during a compaction by putting the untouched
// original back.
#include "base/OperatorMessages.h"

#include <functional>
#include <string>

namespace ar {

extern const char* const kProblemTextA;
extern const char* const kProblemTextB;
extern const char* const kProblemTextC;

struct MaintenanceHooks {
  // Compacts the database in `from` into the new file `to` (default: VacuumInto).
  std::function<void(const std::string& from, const std::string& to)> compact;
  // Reports a problem text (a message box titled "Autoresponder Database Problem", or an
  // event-log entry in service mode).
  std::function<void(const std::string& text)> problem;
  // Trace lines of the steps (unforced).
  std::function<void(const std::string& line)> trace;
  // Whether a stop has been requested; looked at between steps and while the engine works.
  std::function<bool()> stopRequested;
  // Called now and then while the work goes on (the service manager is told start-up is
  // still alive).
  std::function<void()> working;
};

enum class MaintenanceOutcome { Done, SkippedInUse, Abandoned, Stopped };

MaintenanceOutcome MaintainDatabases(const std::string& dataFolder, const MaintenanceHooks& hooks);

// The default compaction: the database in `from`, read as it is, copied into the new
// file `to` (owner and group only) by VACUUM INTO. progress, when given, is called while
// the engine works; returning true stops the copy with DbError.
void VacuumInto(const std::string& from, const std::string& to, std::function<bool()> progress = {});

// Whether a database file opens, passes the engine's quick check and holds tables.
bool DatabaseIsSound(const std::string& path, std::function<bool()> progress = {});

// Where a .sto that failed the check is set aside when its backup is restored.
std::string DamagedPath(const std::string& sto);

}  // namespace ar
