#include "control/DatabaseMaintenance.h"

#include "store/Connection.h"
#include "store/DataFolder.h"
#include "store/DatabaseFiles.h"

#include <cstdio>
#include <stdexcept>
#include <unistd.h>

namespace ar {

const char* const kProblemTextA =
    "There was a problem compacting Autoresponder database and a backup had to be used. If you see this message "
    "again the next time you start, Autoresponder's database will have to be repaired.";
const char* const kProblemTextB =
    "There was a problem compacting Autoresponder's subscriber database and a backup had to be used. If you see this "
    "message again the next time you start, Autoresponder's database will have to be repaired.";
const char* const kProblemTextC =
    "There was a problem compacting Autoresponder's list database and a backup had to be used. If you see this "
    "message again the next time you start, Autoresponder's database will have to be repaired.";

namespace {

void Remove(const std::string& path) { ::unlink(path.c_str()); }

void Copy(const std::string& from, const std::string& to) {
  if (!CopyFile(from, to)) throw std::runtime_error("cannot copy " + from + " to " + to);
}

// Writes whatever the file's write-ahead log still holds into the file itself, so that
// the file alone is the whole database before it is renamed.
void FoldJournal(const std::string& path) {
  Connection::Options options;
  options.busyTimeoutMs = 5000;
  Connection c = Connection::Open(path, options);
  c.Scalar("PRAGMA journal_mode=DELETE");
}

struct Database {
  const char* name;            // "autoresponder" or "subscribers"
  const char* restoredText;    // a .bak without its .sto
  const char* compactedText;   // a compaction that left no .sto
};

void Maintain(const std::string& folder, const Database& db, const MaintenanceHooks& hooks) {
  const std::string sto = folder + "/" + db.name + ".sto";
  const std::string bak = folder + "/" + db.name + ".bak";
  hooks.trace(std::string("Backing up ") + db.name + ".sto");
  if (FileExists(bak)) {
    if (FileExists(sto)) {
      Remove(bak);
    } else {
      hooks.problem(db.restoredText);
      Copy(bak, sto);
      Remove(bak);
    }
  }
  hooks.trace(std::string("Compacting ") + db.name + ".sto");
  FoldJournal(sto);
  if (::rename(sto.c_str(), bak.c_str()) != 0) throw std::runtime_error("cannot rename " + sto);
  bool compacted = true;
  try {
    hooks.compact(bak, sto);
  } catch (const std::exception&) {
    compacted = false;  // handled as a compaction that left no file
  }
  if (!compacted || !FileExists(sto)) {
    Remove(sto);  // a partly written copy must not stand in for the database
    hooks.problem(db.compactedText);
    Copy(bak, sto);
  }
}

}  // namespace

void VacuumInto(const std::string& from, const std::string& to) {
  Connection::Options options;
  options.busyTimeoutMs = 5000;
  Connection c = Connection::Open(from, options);
  c.Execute("VACUUM INTO ?", {to});
}

MaintenanceOutcome MaintainDatabases(const std::string& dataFolder, const MaintenanceHooks& given) {
  MaintenanceHooks hooks = given;
  if (!hooks.compact) hooks.compact = VacuumInto;
  if (!hooks.trace) hooks.trace = [](const std::string&) {};
  if (!hooks.problem) hooks.problem = [](const std::string&) {};
  hooks.trace("Creating the compression object");
  // A program holding the databases keeps them open: moving the files under it would
  // split its writes from everyone else's, so maintenance waits for a start without it.
  const int lock = TryLockDatabasesExclusive(dataFolder);
  if (lock < 0) {
    hooks.trace("Database maintenance skipped: another program has the databases open");
    return MaintenanceOutcome::SkippedInUse;
  }
  MaintenanceOutcome outcome = MaintenanceOutcome::Done;
  try {
    Maintain(dataFolder, {"autoresponder", kProblemTextA, kProblemTextA}, hooks);
    Maintain(dataFolder, {"subscribers", kProblemTextB, kProblemTextC}, hooks);
  } catch (const std::exception&) {
    outcome = MaintenanceOutcome::Abandoned;
  }
  ReleaseDatabaseLock(lock);
  return outcome;
}

}  // namespace ar
