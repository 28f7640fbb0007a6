// The line parser of subscriber files over any bytes: the lines do not depend on how the
// bytes are split into pieces, every field comes out as valid UTF-8, no line holds more
// than its bound allows, and nothing is read past the input.
#include "control/subscribers/CsvReader.h"
#include "mail/Charset.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

// A small bound, so that over-long lines are common.
constexpr std::size_t kBound = 48;

std::vector<ar::CsvLine> Lines(std::string_view bytes, std::size_t piece, char separator) {
  ar::CsvReader reader(separator, kBound);
  std::vector<ar::CsvLine> lines;
  ar::CsvLine line;
  std::size_t at = 0;
  for (;;) {
    const std::size_t size = std::min(piece, bytes.size() - at);
    std::string_view input = bytes.substr(at, size);
    const bool atEnd = at + size == bytes.size();
    while (reader.Next(input, atEnd, line) == ar::CsvReader::Result::Line) lines.push_back(line);
    if (!input.empty()) std::abort();  // NeedMore takes every byte
    at += size;
    if (atEnd) return lines;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte chooses the separator and the size of the pieces.
  const char separator = (data[0] & 1) ? '\t' : ',';
  const std::size_t piece = 1 + data[0] / 2;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::vector<ar::CsvLine> whole = Lines(bytes, bytes.size() + 1, separator);
  const std::vector<ar::CsvLine> pieces = Lines(bytes, piece, separator);
  if (whole.size() != pieces.size()) std::abort();
  for (std::size_t i = 0; i < whole.size(); ++i) {
    if (whole[i].fields != pieces[i].fields || whole[i].cut != pieces[i].cut) std::abort();
    std::size_t total = 0;
    for (const std::string& field : whole[i].fields) {
      if (!ar::IsValidUtf8(field)) std::abort();
      total += field.size();
    }
    // A byte of the file becomes at most three bytes of UTF-8.
    if (whole[i].fields.empty() || total > 3 * kBound) std::abort();
  }
  return 0;
}
