#pragma once
// What the operator's windows work on: the control program's two open connections and
// its two folders. The main window hands its own to the windows it opens; tests and
// benchmarks hand theirs.
#include "store/Connection.h"

#include <string>

namespace ar {

struct ControlContext {
  Connection& main;         // autoresponder.sto
  Connection& subscribers;  // subscribers.sto
  std::string dataFolder;
  std::string programFolder;
};

}  // namespace ar
