#pragma once
#include "base/Clock.h"

namespace ar::test {

// Fixes the process clock for one test and returns it to the system clock afterwards.
struct ClockGuard {
  explicit ClockGuard(double days) { SetClock(days); }
  ~ClockGuard() { ResetClock(); }
};

}  // namespace ar::test
