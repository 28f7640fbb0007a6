// Day numbers: known dates, every second of a day, the text forms, and times of day as operators type them.
#include "base/DayNumber.h"

#include <gtest/gtest.h>

namespace ar {
namespace {

TEST(DayNumber, KnownDatesMatchTheStoredDayCount) {
  struct Case { CivilTime t; double days; };
  const Case cases[] = {
      {{1899, 12, 30, 0, 0, 0, 0}, 0.0},
      {{1900, 1, 1, 0, 0, 0, 0}, 2.0},
      {{1899, 12, 29, 0, 0, 0, 0}, -1.0},
      {{2000, 2, 29, 12, 0, 0, 0}, 36585.5},
      {{2009, 1, 5, 6, 0, 0, 0}, 39818.25},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(ToDayNumber(c.t), c.days) << c.t.year << "-" << c.t.month << "-" << c.t.day;
    const CivilTime back = FromDayNumber(c.days);
    EXPECT_EQ(back.year, c.t.year);
    EXPECT_EQ(back.month, c.t.month);
    EXPECT_EQ(back.day, c.t.day);
    EXPECT_EQ(back.hour, c.t.hour);
  }
}

TEST(DayNumber, RoundTripKeepsEverySecondOfADay) {
  for (int s = 0; s < 86400; s += 7) {
    const CivilTime t{2026, 3, 29, s / 3600, s / 60 % 60, s % 60, 0};
    const CivilTime back = FromDayNumber(ToDayNumber(t));
    ASSERT_EQ(back.hour * 3600 + back.minute * 60 + back.second, s);
    ASSERT_EQ(back.day, 29);
  }
}

TEST(DayNumber, TextFormsAndWeekDay) {
  const double t = ToDayNumber({2009, 1, 5, 14, 3, 9, 0});
  EXPECT_EQ(FormatYYYYMMDD(t), "20090105");
  EXPECT_EQ(FormatHHNN(t), "1403");
  EXPECT_EQ(FromDayNumber(t).WeekDay(), 1);  // a Monday
  EXPECT_EQ(DayOf(t), 39818);
  EXPECT_EQ(DayOf(-0.25), -1);
}

TEST(TimeOfDay, ParsesWhatOperatorsType) {
  struct Case { const char* text; bool ok; int hour, minute; };
  const Case cases[] = {
      {"9:00am", true, 9, 0},   {"9:00 AM", true, 9, 0}, {"12:15am", true, 0, 15}, {"12:00pm", true, 12, 0},
      {"9:30pm", true, 21, 30}, {"21:30", true, 21, 30}, {"9am", true, 9, 0},      {" 7:05:10 pm ", true, 19, 5},
      {"", false, 0, 0},        {"9", false, 0, 0},      {"25:00", false, 0, 0},   {"13:00pm", false, 0, 0},
      {"9:60", false, 0, 0},    {"noon", false, 0, 0},   {"9:00xm", false, 0, 0},  {"9:00am!", false, 0, 0},
  };
  for (const Case& c : cases) {
    int h = -1, m = -1, s = -1;
    EXPECT_EQ(ParseTimeOfDay(c.text, h, m, s), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(h, c.hour) << c.text;
      EXPECT_EQ(m, c.minute) << c.text;
    }
  }
}

TEST(DayNumber, TimesOfDayAreWrittenBackOnTheTwelveHourClock) {
  const struct {
    const char* text;
    const char* normalised;  // "" when refused
  } cases[] = {
      {"9am", "9:00am"},      {"9 PM", "9:00pm"},   {"21:15", "9:15pm"},  {"14:05", "2:05pm"},
      {"9:30 pm", "9:30pm"},  {"0:00", "12:00am"},  {"12:00", "12:00pm"}, {"12am", "12:00am"},
      {"09:05:59", "9:05am"}, {"tomorrow", ""},     {"9", ""},            {"25:00", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(NormaliseTimeOfDay(c.text).value_or(""), c.normalised) << c.text;
}

}  // namespace
}  // namespace ar
