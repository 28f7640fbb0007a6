#pragma once
// The process's one clock. Code and the SQL now() function both read it, so tests
// that fix it see the same "now" in C++ and in statements.
#include <optional>

namespace ar {

// Local date-time as a day number: day 0 is 1899-12-30, the time of day is the fraction.
double NowDays();

// Tests fix the clock to a day number; ResetClock returns to the system clock.
void SetClock(double days);
void AdvanceClock(double days);
void ResetClock();

}  // namespace ar
