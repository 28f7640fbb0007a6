// The processor's progress list: the newest 1001 lines with their time.
#include "base/DayNumber.h"
#include "processor/StatusList.h"
#include "tests/support/ClockGuard.h"
#include "tests/support/TestDatabases.h"

#include <gtest/gtest.h>

namespace ar {
namespace {

TEST(StatusList, KeepsTheNewest1001LinesWithTheirTime) {
  test::ClockGuard clock(test::Day(2026, 1, 2, 3, 4, 5));
  StatusList list;
  int drops = 0;
  list.SetObserver([&](const std::string&, bool dropped) { drops += dropped; });
  for (int i = 0; i < 1005; ++i) list.LogStatus("line " + std::to_string(i));
  ASSERT_EQ(list.Lines().size(), 1001u);
  EXPECT_EQ(drops, 4);
  const std::string stamp = FormatGeneralDateTime(test::Day(2026, 1, 2, 3, 4, 5));
  EXPECT_EQ(list.Lines().front(), stamp + " - line 4");
  EXPECT_EQ(list.Lines().back(), stamp + " - line 1004");
}

}  // namespace
}  // namespace ar
