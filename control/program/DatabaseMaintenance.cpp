#include "control/program/DatabaseMaintenance.h"

#include "store/Connection.h"
#include "store/DataFolder.h"
#include "store/DatabaseFiles.h"
#include "store/DurableFile.h"

#include <cstdio>
#include <sqlite3.h>
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

// Thrown at a safe point once a stop has been requested; the files are whole by then.
struct StopRequested {};

// The engine's progress calls while it copies or checks a file: start-up is alive, and
// a stop request cuts the work short.
std::function<bool()> EngineProgress(const MaintenanceHooks& hooks) {
  return [&hooks] {
    hooks.working();
    return hooks.stopRequested();
  };
}

void RemoveJournals(const std::string& path) {
  for (const char* suffix : {"-wal", "-shm", "-journal"}) ::unlink((path + suffix).c_str());
}

void RemoveDatabase(const std::string& path) {
  ::unlink(path.c_str());
  RemoveJournals(path);
}

void Move(const std::string& from, const std::string& to) {
  if (!MoveFile(from, to)) throw std::runtime_error("cannot rename " + from + " to " + to);
}

// Writes whatever the file's write-ahead log still holds into the file itself, so that
// the file alone is the whole database before it is renamed.
void FoldJournal(const std::string& path) {
  Connection::Options options;
  options.busyTimeoutMs = 5000;
  Connection c = Connection::Open(path, options);
  c.Scalar("PRAGMA journal_mode=DELETE");
}

// A .sto that failed the check is kept aside, with its log, for whoever repairs it.
void SetAside(const std::string& sto) {
  const std::string damaged = DamagedPath(sto);
  RemoveDatabase(damaged);
  ::rename(sto.c_str(), damaged.c_str());
  ::rename((sto + "-wal").c_str(), (damaged + "-wal").c_str());
  RemoveWorldAccess(damaged);
}

struct Database {
  const char* name;            // "autoresponder" or "subscribers"
  const char* restoredText;    // a .bak without a sound .sto
  const char* compactedText;   // a compaction that left no .sto
};

class Maintainer {
 public:
  Maintainer(const std::string& folder, const Database& db, const MaintenanceHooks& hooks)
      : sto_(folder + "/" + db.name + ".sto"),
        bak_(folder + "/" + db.name + ".bak"),
        pending_(PendingPath(sto_)),
        db_(db),
        hooks_(hooks) {}

  void Run() {
    SafePoint();
    // A copy cut off by a crash is only a partial file: the .bak it came from is whole.
    RemoveDatabase(pending_);
    hooks_.trace(std::string("Backing up ") + db_.name + ".sto");
    if (FileExists(bak_)) DealWithBackup();
    SafePoint();
    hooks_.trace(std::string("Compacting ") + db_.name + ".sto");
    Compact();
  }

 private:
  void SafePoint() const {
    hooks_.working();
    if (hooks_.stopRequested()) throw StopRequested{};
  }

  void DealWithBackup() {
    if (FileExists(sto_) && DatabaseIsSound(sto_, EngineProgress(hooks_))) {
      RemoveDatabase(bak_);
      return;
    }
    SafePoint();  // a check cut short by a stop request proves nothing
    hooks_.problem(db_.restoredText);
    if (FileExists(sto_)) SetAside(sto_);
    RemoveJournals(sto_);  // a log left without its file must not be replayed into the backup
    Move(bak_, sto_);
  }

  void Compact() {
    FoldJournal(sto_);
    RemoveWorldAccess(sto_);  // the backup keeps the mode; an older version may have left it open
    RemoveJournals(sto_);
    Move(sto_, bak_);
    try {
      hooks_.compact(bak_, pending_);
      if (!FileExists(pending_) || !SyncFile(pending_)) throw std::runtime_error("no compacted copy");
      Move(pending_, sto_);
    } catch (const std::exception&) {
      RemoveDatabase(pending_);
      if (hooks_.stopRequested()) {
        // The copy was cut short on request: the untouched original goes back.
        Move(bak_, sto_);
        throw StopRequested{};
      }
      hooks_.problem(db_.compactedText);
      // The backup stays beside its copy; without room for a copy it becomes the file again.
      if (!CopyFile(bak_, sto_)) Move(bak_, sto_);
    }
  }

  const std::string sto_, bak_, pending_;
  const Database db_;
  const MaintenanceHooks& hooks_;
};

}  // namespace

std::string DamagedPath(const std::string& sto) { return sto + ".damaged"; }

void VacuumInto(const std::string& from, const std::string& to, std::function<bool()> progress) {
  Connection::Options options;
  options.busyTimeoutMs = 5000;
  options.readOnly = true;
  Connection c = Connection::Open(from, options);
  if (progress) c.SetProgress(std::move(progress));
  // The engine would create the copy under the umask; made here, it is private from the start.
  if (!CreatePrivateFile(to)) throw DbError("cannot create " + to, SQLITE_CANTOPEN);
  c.Execute("VACUUM INTO ?", {to});
}

bool DatabaseIsSound(const std::string& path, std::function<bool()> progress) {
  try {
    // Read as it is: a damaged file must reach whoever repairs it as it was found.
    Connection::Options options;
    options.busyTimeoutMs = 5000;
    options.readOnly = true;
    Connection c = Connection::Open(path, options);
    if (progress) c.SetProgress(std::move(progress));
    // An empty file passes the engine's check as an empty database; ours always hold tables.
    return c.Scalar("PRAGMA quick_check").AsText() == "ok" &&
           c.Scalar("select count(*) from sqlite_master where type='table'").AsInteger() > 0;
  } catch (const DbError&) {
    return false;
  }
}

MaintenanceOutcome MaintainDatabases(const std::string& dataFolder, const MaintenanceHooks& given) {
  MaintenanceHooks hooks = given;
  if (!hooks.trace) hooks.trace = [](const std::string&) {};
  if (!hooks.problem) hooks.problem = [](const std::string&) {};
  if (!hooks.stopRequested) hooks.stopRequested = [] { return false; };
  if (!hooks.working) hooks.working = [] {};
  if (!hooks.compact)
    hooks.compact = [&hooks](const std::string& from, const std::string& to) {
      VacuumInto(from, to, EngineProgress(hooks));
    };
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
    Maintainer(dataFolder, {"autoresponder", kProblemTextA, kProblemTextA}, hooks).Run();
    Maintainer(dataFolder, {"subscribers", kProblemTextB, kProblemTextC}, hooks).Run();
  } catch (const StopRequested&) {
    hooks.trace("Database maintenance stopped: a stop was requested");
    outcome = MaintenanceOutcome::Stopped;
  } catch (const std::exception&) {
    outcome = MaintenanceOutcome::Abandoned;
  }
  ReleaseDatabaseLock(lock);
  return outcome;
}

}  // namespace ar
