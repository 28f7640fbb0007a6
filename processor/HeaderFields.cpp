#include "processor/HeaderFields.h"

#include "base/Text.h"

namespace ar {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Whether the line starts the field `name`: the name, blanks (an obsolete form) and ":".
// Gives the position after the colon.
std::optional<size_t> FieldValueStart(std::string_view line, std::string_view name) {
  if (!StartsWithNoCase(line, name)) return std::nullopt;
  size_t at = name.size();
  while (at < line.size() && IsBlank(line[at])) ++at;
  if (at >= line.size() || line[at] != ':') return std::nullopt;
  return at + 1;
}

}  // namespace

std::string_view HeaderBlock(std::string_view message) {
  size_t lineStart = 0;
  for (;;) {
    const size_t end = message.find("\r\n", lineStart);
    if (end == std::string_view::npos) return message.substr(0, lineStart);
    if (end == lineStart) return message.substr(0, lineStart);
    lineStart = end + 2;
  }
}

std::optional<std::string> HeaderField(std::string_view message, std::string_view name) {
  const std::string_view block = HeaderBlock(message);
  std::optional<std::string> value;
  for (size_t lineStart = 0; lineStart < block.size();) {
    const size_t end = block.find("\r\n", lineStart);
    const std::string_view line = block.substr(lineStart, end - lineStart);
    lineStart = end + 2;
    if (value) {
      if (!IsBlank(line.front())) break;  // the next field begins
      value->append(line);
      continue;
    }
    if (const std::optional<size_t> start = FieldValueStart(line, name)) value = std::string(line.substr(*start));
  }
  if (value) return TrimBlanks(*value);
  return std::nullopt;
}

}  // namespace ar
