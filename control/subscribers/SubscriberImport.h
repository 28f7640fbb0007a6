#pragma once
// Importing subscribers from a delimited text file whose first line names the fields:
// every later line adds one subscriber row holding only its address (AddedDate the time
// it is read). Lines are read and committed in batches: each batch is one short write
// transaction, so that a processing run writing the same file meanwhile waits a moment at
// most, and the caller can show progress and stop between batches with every row read so
// far kept.
#include "control/subscribers/CsvFile.h"
#include "store/Connection.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ar {

// The first line of an import file.
struct ImportHeader {
  enum class Problem {
    None,
    Missing,       // no file of that name
    NotFieldNames  // the first line holds "@": it is data, not field names
  };
  Problem problem = Problem::None;
  std::vector<std::string> fields;  // the field names in file order
};

// Reads the header line. Throws std::runtime_error when the file cannot be read.
ImportHeader ReadImportHeader(const std::string& path);

// The address a record line gives: the field at the 1-based position ("" when the line
// is shorter), without blanks, tabs, CR or LF at either end, cut to the column's 100
// characters.
std::string ImportedAddress(const CsvLine& line, int addressField);

class SubscriberImport {
 public:
  static constexpr std::size_t kBatchRows = 5000;
  // A batch also ends after this much of the file, so that over-long lines cannot make
  // one batch take long.
  static constexpr std::size_t kBatchBytes = 4 * 1024 * 1024;

  // Opens the file and passes over its header line. Throws std::runtime_error when the
  // file cannot be read.
  SubscriberImport(Connection& subscribers, int64_t autoresponderId, const std::string& path, int addressField);

  // Reads the next batch of lines and adds their rows in one transaction. false, with
  // nothing added, once the file has ended. Throws on a read or database error; the rows
  // of earlier batches stay.
  bool Step();

  int Percent() const { return file_.Percent(); }
  int64_t RowsAdded() const { return rowsAdded_; }
  // Lines longer than the reader's bound, imported with the fields found within it.
  int64_t LinesCut() const { return linesCut_; }

 private:
  void Write();

  Connection& subscribers_;
  std::string insert_;
  CsvFile file_;
  int addressField_;
  std::vector<std::string> batch_;
  int64_t rowsAdded_ = 0;
  int64_t linesCut_ = 0;
};

}  // namespace ar
