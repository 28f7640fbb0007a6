#include "store/Connection.h"

#include "base/Clock.h"
#include "base/DayNumber.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <sqlite3.h>

namespace ar {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
  return out;
}

void SqlNow(sqlite3_context* ctx, int, sqlite3_value**) { sqlite3_result_double(ctx, NowDays()); }

// int(x): the day number of a date-time (integer part, rounded down).
void SqlInt(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(std::floor(sqlite3_value_double(argv[0]))));
}

// yyyymmdd(x): the calendar date of a date-time as eight digits.
void SqlYYYYMMDD(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const std::string text = FormatYYYYMMDD(sqlite3_value_double(argv[0]));
  sqlite3_result_text(ctx, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void RegisterFunctions(sqlite3* db) {
  const int pure = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  // now() is the column default of AddedDate, so it may appear in the schema.
  sqlite3_create_function_v2(db, "now", 0, SQLITE_UTF8 | SQLITE_INNOCUOUS, nullptr, SqlNow, nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db, "int", 1, pure, nullptr, SqlInt, nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db, "yyyymmdd", 1, pure, nullptr, SqlYYYYMMDD, nullptr, nullptr, nullptr);
}

Value ColumnValue(sqlite3_stmt* stmt, int i) {
  switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_INTEGER: return Value(static_cast<long long>(sqlite3_column_int64(stmt, i)));
    case SQLITE_FLOAT: return Value(sqlite3_column_double(stmt, i));
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_blob(stmt, i));
      return Value(std::string(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(stmt, i))));
    }
    default: return Value();
  }
}

// Resets a statement when it leaves scope, whatever happened.
struct ResetGuard {
  sqlite3_stmt* stmt;
  ~ResetGuard() {
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
  }
};

}  // namespace

const Value& RowSet::Field(std::string_view name) const {
  if (Eof()) throw DbError("Either BOF or EOF is True, or the current record has been deleted", SQLITE_MISUSE);
  const std::string key = Lower(name);
  for (size_t i = 0; i < names_.size(); ++i)
    if (names_[i] == key) return rows_[pos_][i];
  throw DbError("Item cannot be found in the collection: " + std::string(name), SQLITE_MISUSE);
}

bool RowSet::HasField(std::string_view name) const {
  return std::find(names_.begin(), names_.end(), Lower(name)) != names_.end();
}

Connection::~Connection() { Close(); }

Connection::Connection(Connection&& o) noexcept
    : db_(o.db_), path_(std::move(o.path_)), cache_(std::move(o.cache_)), progress_(std::move(o.progress_)) {
  o.db_ = nullptr;
  o.cache_.clear();
}

Connection& Connection::operator=(Connection&& o) noexcept {
  if (this != &o) {
    Close();
    db_ = o.db_;
    path_ = std::move(o.path_);
    cache_ = std::move(o.cache_);
    progress_ = std::move(o.progress_);
    o.db_ = nullptr;
    o.cache_.clear();
  }
  return *this;
}

void Connection::Close() {
  for (auto& [sql, stmt] : cache_) sqlite3_finalize(stmt);
  cache_.clear();
  if (db_) sqlite3_close_v2(db_);
  db_ = nullptr;
  progress_.reset();
}

void Connection::Fail(const std::string& context, int code) const {
  std::string msg = context;
  if (db_) msg += std::string(": ") + sqlite3_errmsg(db_);
  else msg += std::string(": ") + sqlite3_errstr(code);
  throw DbError(msg, code);
}

Connection Connection::Open(const std::string& path, const Options& options) {
  Connection c;
  c.path_ = path;
  int flags = (options.readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
  if (options.create && !options.readOnly) flags |= SQLITE_OPEN_CREATE;
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
  c.db_ = db;
  if (rc != SQLITE_OK) {
    const std::string msg = std::string("cannot open ") + path + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    c.Close();
    throw DbError(msg, rc);
  }
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, options.busyTimeoutMs);
  RegisterFunctions(db);
  try {
    // Reading the schema proves the file is a database; WAL lets readers and one writer
    // of the three programs work side by side.
    if (!options.readOnly) {
      c.Scalar("PRAGMA journal_mode=WAL");
      c.Execute("PRAGMA synchronous=FULL");
    }
    c.Scalar("SELECT count(*) FROM sqlite_master");
  } catch (const DbError& e) {
    throw DbError(std::string("cannot open ") + path + ": " + e.what(), e.Code());
  }
  return c;
}

sqlite3_stmt* Connection::Prepare(std::string_view sql) {
  if (!db_) throw DbError("Operation is not allowed when the object is closed", SQLITE_MISUSE);
  std::string key(sql);
  if (auto it = cache_.find(key); it != cache_.end()) return it->second;
  sqlite3_stmt* stmt = nullptr;
  const int rc = sqlite3_prepare_v2(db_, key.c_str(), static_cast<int>(key.size()), &stmt, nullptr);
  if (rc != SQLITE_OK) Fail(key, rc);
  cache_.emplace(std::move(key), stmt);
  return stmt;
}

void Connection::Bind(sqlite3_stmt* stmt, const Params& params) {
  const int expected = sqlite3_bind_parameter_count(stmt);
  if (expected != static_cast<int>(params.size()))
    throw DbError("statement expects " + std::to_string(expected) + " parameters, given " + std::to_string(params.size()),
                  SQLITE_RANGE);
  int i = 1;
  for (const Value& v : params) {
    int rc = SQLITE_OK;
    if (v.IsNull()) rc = sqlite3_bind_null(stmt, i);
    else if (v.IsInteger()) rc = sqlite3_bind_int64(stmt, i, v.AsInteger());
    else if (v.IsReal()) rc = sqlite3_bind_double(stmt, i, v.AsReal());
    else {
      const std::string& s = std::get<std::string>(v.Raw());
      rc = sqlite3_bind_text(stmt, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    }
    if (rc != SQLITE_OK) Fail("bind", rc);
    ++i;
  }
}

void Connection::Execute(std::string_view sql, const Params& params) {
  sqlite3_stmt* stmt = Prepare(sql);
  ResetGuard guard{stmt};
  Bind(stmt, params);
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) Fail(std::string(sql), rc);
}

RowSet Connection::Query(std::string_view sql, const Params& params) {
  sqlite3_stmt* stmt = Prepare(sql);
  ResetGuard guard{stmt};
  Bind(stmt, params);
  RowSet rs;
  const int columns = sqlite3_column_count(stmt);
  for (int i = 0; i < columns; ++i) rs.names_.push_back(Lower(sqlite3_column_name(stmt, i)));
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    std::vector<Value> row;
    row.reserve(static_cast<size_t>(columns));
    for (int i = 0; i < columns; ++i) row.push_back(ColumnValue(stmt, i));
    rs.rows_.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) Fail(std::string(sql), rc);
  return rs;
}

Value Connection::Scalar(std::string_view sql, const Params& params) {
  sqlite3_stmt* stmt = Prepare(sql);
  ResetGuard guard{stmt};
  Bind(stmt, params);
  const int rc = sqlite3_step(stmt);
  if (rc == SQLITE_ROW) return sqlite3_column_count(stmt) > 0 ? ColumnValue(stmt, 0) : Value();
  if (rc != SQLITE_DONE) Fail(std::string(sql), rc);
  return Value();
}

void Connection::SetProgress(std::function<bool()> stop) {
  if (!db_) return;
  if (!stop) {
    sqlite3_progress_handler(db_, 0, nullptr, nullptr);
    progress_.reset();
    return;
  }
  progress_ = std::make_unique<std::function<bool()>>(std::move(stop));
  sqlite3_progress_handler(
      db_, 10000, [](void* f) { return (*static_cast<std::function<bool()>*>(f))() ? 1 : 0; }, progress_.get());
}

int64_t Connection::LastInsertId() const { return db_ ? sqlite3_last_insert_rowid(db_) : 0; }
int Connection::Changes() const { return db_ ? sqlite3_changes(db_) : 0; }

}  // namespace ar
