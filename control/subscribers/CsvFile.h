#pragma once
// A delimited text file read line by line through CsvReader, a piece at a time, so that
// memory does not grow with the file. It tells how much of the file has been read.
#include "control/subscribers/CsvReader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ar {

class CsvFile {
 public:
  // Opens the file; throws std::runtime_error with the reason when it cannot be read.
  explicit CsvFile(const std::string& path, char separator = ',');
  ~CsvFile();
  CsvFile(const CsvFile&) = delete;
  CsvFile& operator=(const CsvFile&) = delete;

  // The next line; false at the end of the file. Throws std::runtime_error when the file
  // cannot be read.
  bool Next(CsvLine& line);

  // The part of the file read so far, in whole percent (100 for an empty file).
  int Percent() const;
  uint64_t BytesRead() const { return taken_; }

 private:
  std::string path_;
  int fd_ = -1;
  CsvReader reader_;
  std::vector<char> buffer_;
  std::string_view unread_;
  bool atEnd_ = false;
  uint64_t size_ = 0;
  uint64_t taken_ = 0;  // bytes the reader has taken
};

// Whether a regular file of that name exists.
bool RegularFileExists(const std::string& path);

}  // namespace ar
