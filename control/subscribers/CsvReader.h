#pragma once
// The line parser of subscriber files: delimited text whose fields may stand in double
// quotes (RFC 4180: a quoted field may hold the separator, line breaks and doubled
// quotes). Lines end in CR LF, LF or a CR alone. The bytes come in pieces of any size; each line's
// fields come out as UTF-8, read as Windows-1252 when the line is not valid UTF-8, so that
// files written by single-byte tools still load. A UTF-8 byte order mark at the start of
// the file is passed over.
//
// A line may not grow past a bound: its fields are kept as far as the bound, the rest of
// the line (up to the next line end, quotes no longer counted) is passed over, and the
// line comes out marked as cut. Memory therefore stays within the bound whatever the file.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ar {

struct CsvLine {
  std::vector<std::string> fields;
  bool cut = false;  // longer than the bound: only the fields within it are here
};

class CsvReader {
 public:
  static constexpr std::size_t kMaxLineBytes = 64 * 1024;

  enum class Result {
    NeedMore,  // every byte given was taken; give more, or say that the input has ended
    Line,      // one line is ready
  };

  explicit CsvReader(char separator = ',', std::size_t maxLineBytes = kMaxLineBytes);

  // Takes bytes from the front of `input` until a line is complete (removing what it took)
  // or the input runs out. With `atEnd`, the input holds the last bytes of the file: a
  // last line without a line end comes out too. A file that ends with a line end has no
  // empty line after it; an empty line inside the file is a line with one empty field.
  Result Next(std::string_view& input, bool atEnd, CsvLine& line);

 private:
  enum class State { FieldStart, Plain, Quoted, QuoteInQuoted, Skipping };

  void EndField();
  void Finish(CsvLine& line);

  char separator_;
  std::size_t maxLineBytes_;
  State state_ = State::FieldStart;
  bool atFileStart_ = true;
  std::string held_;  // the first bytes of a byte order mark, while it may still be one
  bool afterCR_ = false;  // the last line ended at a CR: an LF next belongs to it
  bool lineStarted_ = false;
  std::size_t lineBytes_ = 0;
  std::string field_;
  std::vector<std::string> fields_;
};

}  // namespace ar
