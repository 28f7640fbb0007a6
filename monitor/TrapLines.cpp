#include "monitor/TrapLines.h"

#include "base/Trace.h"

#include <exception>

namespace ar {

void TrapLine(const std::string& label, const std::string& error) {
  TraceLogNoThrow(label + error, true);
}

void TrapLines::Report(const std::string& label, const std::vector<std::string>& errors) {
  std::set<std::string> now;
  std::lock_guard lock(mutex_);
  std::set<std::string>& before = previous_[label];
  for (const std::string& error : errors)
    if (now.insert(error).second && !before.contains(error)) TrapLine(label, error);
  before.swap(now);
}

}  // namespace ar
