#include "processor/CommandLine.h"

#include "store/Trace.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace ar {
namespace {

// The numeric value of the leading part of the text: leading blanks skipped, reading
// stops at the first character that cannot continue a number; no number gives 0.
double LeadingNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  size_t end = i;
  if (end < text.size() && (text[end] == '+' || text[end] == '-')) ++end;
  const size_t digitsStart = end;
  while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
  if (end < text.size() && text[end] == '.') {
    ++end;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
  }
  if (end == digitsStart || (end == digitsStart + 1 && text[digitsStart] == '.')) return 0;
  // An exponent counts only when digits follow it.
  if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
    size_t e = end + 1;
    if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
    if (e < text.size() && std::isdigit(static_cast<unsigned char>(text[e]))) {
      while (e < text.size() && std::isdigit(static_cast<unsigned char>(text[e]))) ++e;
      end = e;
    }
  }
  return std::strtod(text.substr(i, end - i).c_str(), nullptr);
}

}  // namespace

ProcessorCommandLine ParseProcessorCommandLine(const std::string& commandLine) {
  ProcessorCommandLine result;
  result.debug = CommandLineHasDebugSwitch(commandLine);
  const double value = std::nearbyint(LeadingNumber(commandLine));
  // Beyond the key range no autoresponder can match; keep such a value out of range
  // rather than letting it wrap to another identifier or to "all".
  constexpr double kMax = 9.2e18;
  if (!std::isfinite(value) || value > kMax) result.autoresponderId = std::numeric_limits<int64_t>::max();
  else if (value < -kMax) result.autoresponderId = std::numeric_limits<int64_t>::min();
  else result.autoresponderId = static_cast<int64_t>(value);
  return result;
}

}  // namespace ar
