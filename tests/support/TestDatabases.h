#pragma once
// A data folder with both database files made from the schema, and helpers to add rows.
#include "store/Connection.h"
#include "tests/support/TempFolder.h"

#include <cstdint>
#include <string>

namespace ar::test {

class TestDatabases {
 public:
  // Creates autoresponder.sto and subscribers.sto (and the debug folder) in a new folder.
  TestDatabases();

  const std::string& Folder() const { return folder_.Path(); }
  Connection& Config() { return config_; }
  Connection& Subscribers() { return subscribers_; }
  // Reopens both connections (after code under test closed its own).
  void Reopen();

  // Adds an autoresponder with its subscriber table; returns its identifier.
  int64_t AddAutoresponder(const std::string& name, bool active, const std::string& popServer = "");
  void SetSmtpServer(const std::string& server);

 private:
  TempFolder folder_;
  Connection config_;
  Connection subscribers_;
};

// Day number of a local date and time.
double Day(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

}  // namespace ar::test
