#include "mail/DateLine.h"

#include "store/DayNumber.h"
#include "tests/support/ClockGuard.h"

#include <gtest/gtest.h>

namespace ar {
namespace {

double At(int year, int month, int day, int hour, int minute, int second) {
  return ToDayNumber(CivilTime{year, month, day, hour, minute, second, 0});
}

TEST(DateLine, OffsetText) {
  const std::pair<int, std::string> cases[] = {{-60, "+0100"}, {300, "-0500"}, {-330, "+0530"}, {0, "+0000"},
                                               {120, "-0200"}, {-765, "+1245"}};
  for (const auto& [bias, text] : cases) EXPECT_EQ(OffsetText(bias), text) << bias;
}

TEST(DateLine, MondayFifthOfJanuary2009) {
  const double moment = At(2009, 1, 5, 14, 3, 9);
  EXPECT_EQ(BuildDateHeader(moment, -60), "Date: Mon, 5 Jan 2009 14:03:09 +0100");
  EXPECT_EQ(BuildDateHeader(moment, 120), "Date: Mon, 5 Jan 2009 14:03:09 -0200");

  test::ClockGuard clock(moment);
  EXPECT_EQ(BuildDateHeader(-60), "Date: Mon, 5 Jan 2009 14:03:09 +0100");
  EXPECT_EQ(BuildDateHeader(), "Date: Mon, 5 Jan 2009 14:03:09 " + OffsetText(GetTimeZoneOffset()));
}

TEST(DateLine, DayAndMonthNamesAndDigits) {
  const std::pair<double, std::string> cases[] = {
      {At(2023, 12, 31, 0, 0, 0), "Date: Sun, 31 Dec 2023 00:00:00 +0000"},
      {At(2024, 2, 29, 23, 59, 59), "Date: Thu, 29 Feb 2024 23:59:59 +0000"},
      {At(2010, 7, 3, 9, 5, 1), "Date: Sat, 3 Jul 2010 09:05:01 +0000"},
      {At(2010, 7, 3, 9, 5, 1) + 0.9996 / 86400.0, "Date: Sat, 3 Jul 2010 09:05:02 +0000"},  // rounded to the ms
  };
  for (const auto& [moment, line] : cases) EXPECT_EQ(BuildDateHeader(moment, 0), line);
}

}  // namespace
}  // namespace ar
