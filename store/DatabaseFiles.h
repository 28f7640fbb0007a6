#pragma once
// The two connections every program holds for its lifetime, and the shared lock that
// tells database maintenance that a program has the files open.
#include "store/Connection.h"
#include "store/DurableFile.h"

#include <string>

namespace ar {

std::string AutoresponderDbPath(const std::string& dataFolder);  // folder + "/autoresponder.sto"
std::string SubscribersDbPath(const std::string& dataFolder);    // folder + "/subscribers.sto"
std::string DatabaseLockPath(const std::string& dataFolder);     // folder + "/databases.lock"

class DatabaseFiles {
 public:
  DatabaseFiles() = default;
  ~DatabaseFiles() { Close(); }
  DatabaseFiles(const DatabaseFiles&) = delete;
  DatabaseFiles& operator=(const DatabaseFiles&) = delete;

  // Takes the shared lock and opens both files. Throws DbError (nothing is created or
  // written) when either file is missing, locked past the time-out or not a database.
  void Open(const std::string& dataFolder, const Connection::Options& options = {});
  void Close();
  bool IsOpen() const { return config.IsOpen(); }

  Connection config;       // autoresponder.sto
  Connection subscribers;  // subscribers.sto

 private:
  int lockFd_ = -1;
};

// Takes the database lock exclusively when no other program holds the databases open and
// returns its descriptor (the caller may then move the files), else -1.
int TryLockDatabasesExclusive(const std::string& dataFolder);
void ReleaseDatabaseLock(int fd);

// Puts the initial databases from the program folder in place where a .sto file is
// missing. A .sto whose .bak is there is left alone: database maintenance restores the
// backup. Returns the names of the files copied; throws std::runtime_error when an
// initial database cannot be put in place.
std::string SeedDatabases(const std::string& programFolder, const std::string& dataFolder);

}  // namespace ar
