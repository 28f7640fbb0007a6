#pragma once
// A connection to one database file. Every value reaches a statement as a bound
// parameter; the dialect's functions (now(), int(), yyyymmdd()) are registered on each
// connection and read the process clock.
#include "store/Value.h"

#include <functional>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace ar {

class DbError : public std::runtime_error {
 public:
  DbError(const std::string& what, int code) : std::runtime_error(what), code_(code) {}
  int Code() const { return code_; }

 private:
  int code_;
};

using Params = std::vector<Value>;

// The rows of a select, read in full when the statement runs, so that no read stays
// open on the file while the caller updates rows (other programs may be writing).
class RowSet {
 public:
  bool Eof() const { return pos_ >= rows_.size(); }
  void MoveNext() { ++pos_; }
  size_t Count() const { return rows_.size(); }
  // Field of the current row by column name, matched without regard to letter case.
  const Value& Field(std::string_view name) const;
  bool HasField(std::string_view name) const;

 private:
  friend class Connection;
  std::vector<std::string> names_;  // lower case
  std::vector<std::vector<Value>> rows_;
  size_t pos_ = 0;
};

class Connection {
 public:
  struct Options {
    int busyTimeoutMs = 30000;
    bool create = false;  // the build and tests create files; the programs never do
    bool readOnly = false;  // reads the file as it is: no journal change, nothing written
  };

  Connection() = default;
  ~Connection();
  Connection(Connection&& o) noexcept;
  Connection& operator=(Connection&& o) noexcept;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Opens an existing database file (WAL journal, busy time-out). Throws DbError when the
  // file is missing, locked past the time-out or not a database.
  static Connection Open(const std::string& path, const Options& options);
  static Connection Open(const std::string& path) { return Open(path, Options{}); }

  void Execute(std::string_view sql, const Params& params = {});
  RowSet Query(std::string_view sql, const Params& params = {});
  // First column of the first row, or Null when there is no row.
  Value Scalar(std::string_view sql, const Params& params = {});

  // Called every few thousand steps of a running statement; when it returns true the
  // statement ends with DbError (SQLITE_INTERRUPT). Lets long work (compaction, checks)
  // report that it is alive and stop on request. An empty function removes it.
  void SetProgress(std::function<bool()> stop);

  int64_t LastInsertId() const;
  int Changes() const;
  bool IsOpen() const { return db_ != nullptr; }
  void Close();
  const std::string& Path() const { return path_; }

 private:
  sqlite3_stmt* Prepare(std::string_view sql);
  void Bind(sqlite3_stmt* stmt, const Params& params);
  [[noreturn]] void Fail(const std::string& context, int code) const;

  sqlite3* db_ = nullptr;
  std::string path_;
  std::unordered_map<std::string, sqlite3_stmt*> cache_;
  // On the heap, so that the engine's pointer to it survives a move of the connection.
  std::unique_ptr<std::function<bool()>> progress_;
};

}  // namespace ar
