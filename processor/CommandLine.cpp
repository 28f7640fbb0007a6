#include "processor/CommandLine.h"

#include "base/Text.h"
#include "base/Trace.h"

#include <cmath>
#include <limits>

namespace ar {
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
