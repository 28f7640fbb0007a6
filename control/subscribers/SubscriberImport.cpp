#include "control/subscribers/SubscriberImport.h"

#include "base/Clock.h"
#include "base/Text.h"
#include "control/autoresponders/AutoresponderSettings.h"
#include "control/subscribers/EmailAddressCheck.h"
#include "store/Schema.h"

#include <algorithm>

namespace ar {
namespace {

bool IsEdgeBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

ImportHeader ReadImportHeader(const std::string& path) {
  ImportHeader header;
  if (!RegularFileExists(path)) {
    header.problem = ImportHeader::Problem::Missing;
    return header;
  }
  CsvFile file(path);
  CsvLine line;
  // An empty file has no field names at all.
  if (!file.Next(line)) return header;
  if (std::any_of(line.fields.begin(), line.fields.end(),
                  [](const std::string& f) { return f.find('@') != std::string::npos; })) {
    header.problem = ImportHeader::Problem::NotFieldNames;
    return header;
  }
  header.fields = std::move(line.fields);
  return header;
}

std::string ImportedAddress(const CsvLine& line, int addressField) {
  if (addressField < 1 || static_cast<std::size_t>(addressField) > line.fields.size()) return "";
  const std::string& field = line.fields[static_cast<std::size_t>(addressField) - 1];
  std::size_t first = 0, last = field.size();
  while (first < last && IsEdgeBlank(field[first])) ++first;
  while (last > first && IsEdgeBlank(field[last - 1])) --last;
  return LeftCharacters(field.substr(first, last - first), kMaxSubscriberAddress);
}

SubscriberImport::SubscriberImport(Connection& subscribers, int64_t autoresponderId, const std::string& path,
                                   int addressField)
    : subscribers_(subscribers),
      insert_("insert into " + SubscriberTable(autoresponderId) + " (EmailAddress, AddedDate) values (?, ?)"),
      file_(path),
      addressField_(addressField) {
  CsvLine header;
  file_.Next(header);
  batch_.reserve(kBatchRows);
}

bool SubscriberImport::Step() {
  batch_.clear();
  const uint64_t start = file_.BytesRead();
  CsvLine line;
  // The file is read before the transaction begins: the write lock is held only while
  // the rows go in.
  while (batch_.size() < kBatchRows && file_.BytesRead() - start < kBatchBytes && file_.Next(line)) {
    if (line.cut) ++linesCut_;
    batch_.push_back(ImportedAddress(line, addressField_));
  }
  if (batch_.empty()) return false;
  Write();
  rowsAdded_ += static_cast<int64_t>(batch_.size());
  return true;
}

void SubscriberImport::Write() {
  subscribers_.Execute("BEGIN IMMEDIATE");
  try {
    for (const std::string& address : batch_) subscribers_.Execute(insert_, {address, NowDays()});
    subscribers_.Execute("COMMIT");
  } catch (...) {
    try {
      subscribers_.Execute("ROLLBACK");
    } catch (const DbError&) {
      // The engine may have ended the transaction itself.
    }
    throw;
  }
}

}  // namespace ar
