#include "control/subscribers/CsvReader.h"

#include "mail/Charset.h"

#include <utility>

namespace ar {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Every field as UTF-8: the line as it stands when all of it is valid UTF-8, else every
// field read as Windows-1252 (one decision for the whole line).
void ToUtf8(std::vector<std::string>& fields) {
  for (const std::string& f : fields)
    if (!IsValidUtf8(f)) {
      for (std::string& each : fields) each = Windows1252ToUtf8(each);
      return;
    }
}

}  // namespace

CsvReader::CsvReader(char separator, std::size_t maxLineBytes) : separator_(separator), maxLineBytes_(maxLineBytes) {}

void CsvReader::EndField() {
  fields_.push_back(std::move(field_));
  field_.clear();
}

void CsvReader::Finish(CsvLine& line) {
  if (state_ != State::Skipping) EndField();
  line.cut = state_ == State::Skipping;
  line.fields = std::move(fields_);
  ToUtf8(line.fields);
  fields_.clear();
  field_.clear();
  state_ = State::FieldStart;
  lineStarted_ = false;
  lineBytes_ = 0;
}

CsvReader::Result CsvReader::Next(std::string_view& input, bool atEnd, CsvLine& line) {
  if (atFileStart_) {
    // The mark may come split over pieces: its first bytes are held until it is complete
    // or proves to be data, which then begins the first field.
    while (!input.empty() && held_.size() < kByteOrderMark.size() && input.front() == kByteOrderMark[held_.size()]) {
      held_ += input.front();
      input.remove_prefix(1);
    }
    if (held_.size() < kByteOrderMark.size() && input.empty() && !atEnd) return Result::NeedMore;
    atFileStart_ = false;
    if (held_.size() < kByteOrderMark.size() && !held_.empty()) {
      field_ = held_;
      lineBytes_ = held_.size();
      lineStarted_ = true;
      state_ = State::Plain;
    }
    held_.clear();
  }
  while (!input.empty()) {
    const char c = input.front();
    input.remove_prefix(1);
    if (afterCR_) {
      afterCR_ = false;
      if (c == '\n') continue;  // the LF of a CR LF
    }
    lineStarted_ = true;
    // Outside quotes a CR or an LF ends the line (a CR alone too, as old tools wrote).
    if ((c == '\n' || c == '\r') && state_ != State::Quoted) {
      afterCR_ = c == '\r';
      Finish(line);
      return Result::Line;
    }
    if (state_ == State::Skipping) continue;
    // A byte past the bound starts the skipping.
    if (++lineBytes_ > maxLineBytes_) {
      EndField();
      state_ = State::Skipping;
      continue;
    }
    switch (state_) {
      case State::Quoted:
        if (c == '"') state_ = State::QuoteInQuoted;
        else field_ += c;
        break;
      case State::QuoteInQuoted:
        if (c == '"') {
          field_ += '"';
          state_ = State::Quoted;
          break;
        }
        // After the closing quote the field goes on as a plain one.
        state_ = State::Plain;
        [[fallthrough]];
      case State::FieldStart:
      case State::Plain:
        if (c == '"' && state_ == State::FieldStart) {
          state_ = State::Quoted;
        } else if (c == separator_) {
          EndField();
          state_ = State::FieldStart;
        } else {
          field_ += c;  // a quote inside an unquoted field is an ordinary character
          state_ = State::Plain;
        }
        break;
      case State::Skipping: break;
    }
  }
  if (atEnd && lineStarted_) {
    Finish(line);  // an open quote ends with the file
    return Result::Line;
  }
  return Result::NeedMore;
}

}  // namespace ar
