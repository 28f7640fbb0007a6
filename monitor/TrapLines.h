#pragma once
// The monitor's error traps (bastamsel). A trap writes one forced trace line: its label
// and the error text. A line that cannot be written is lost; the trap's caller goes on.
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace ar {

// Writes label + error as a forced trace line; never throws.
void TrapLine(const std::string& label, const std::string& error);

// The traps of work that repeats every few seconds. A lasting failure would write the
// same lines for ever, so each pass of a trap writes only the errors its previous pass
// did not have; a pass without errors forgets them.
class TrapLines {
 public:
  void Report(const std::string& label, const std::vector<std::string>& errors);

 private:
  std::mutex mutex_;
  std::map<std::string, std::set<std::string>> previous_;
};

}  // namespace ar
