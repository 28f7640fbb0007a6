// Whether a run's delayed pass runs, by the autoresponder's time of day.
#include "processor/DelayedPass.h"
#include "tests/support/TestDatabases.h"

#include <gtest/gtest.h>

namespace ar {
namespace {

using test::Day;

TEST(DelayedPass, TimeOfDayRule) {
  const Value yesterdayAtTen = Day(2026, 3, 9, 10, 0);
  const Value earlierToday = Day(2026, 3, 10, 9, 1);
  using D = DelayedPassDecision;
  struct Case { const char* timeOfDay; Value last; double now; D expected; const char* why; };
  const Case cases[] = {
      {"", yesterdayAtTen, Day(2026, 3, 10, 3, 0), D::RunEveryTime, "no time of day"},
      {"9:00am", yesterdayAtTen, Day(2026, 3, 10, 8, 59), D::Skip, "08:59 is before"},
      {"9:00am", yesterdayAtTen, Day(2026, 3, 10, 9, 0, 30), D::Skip, "09:00:30 is not past the minute"},
      {"9:00am", yesterdayAtTen, Day(2026, 3, 10, 9, 1), D::RunAndRecordTime, "09:01 passes"},
      {"9:00am", earlierToday, Day(2026, 3, 10, 15, 0), D::Skip, "already done today"},
      {"9:00am", Value(), Day(2026, 3, 10, 9, 30), D::RunAndRecordTime, "never done"},
      {"9:00am", earlierToday, Day(2026, 3, 11, 0, 30), D::Skip, "new day, time not reached"},
      {"9:00am", earlierToday, Day(2026, 3, 11, 9, 5), D::RunAndRecordTime, "new day, time passed"},
      {"9:30pm", Value(), Day(2026, 3, 10, 21, 31), D::RunAndRecordTime, "evening"},
      {"11:59pm", Value(), Day(2026, 3, 10, 23, 59, 59), D::Skip, "nothing is past 23:59"},
      {"soon", Value(), Day(2026, 3, 10, 12, 0), D::InvalidTimeOfDay, "not a time"},
  };
  for (const Case& c : cases) EXPECT_EQ(DecideDelayedPass(c.timeOfDay, c.last, c.now), c.expected) << c.why;
}

}  // namespace
}  // namespace ar
