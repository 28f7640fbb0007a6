#pragma once
// Conversions between calendar date-times and the stored day numbers
// (day 0 = 1899-12-30, time of day as the fraction).
#include <ctime>
#include <optional>
#include <string>

namespace ar {

struct CivilTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  int WeekDay() const;  // 0 = Sunday
};

double ToDayNumber(const CivilTime& t);
CivilTime FromDayNumber(double days);

// Whole day of a day number: its integer part, rounded down.
long long DayOf(double days);

// "YYYYMMDD" and "HHNN" texts of a day number.
std::string FormatYYYYMMDD(double days);
std::string FormatHHNN(double days);

// The general date-time form (locale's short date and long time) used by trace lines,
// progress lists and every list that shows a date-time.
std::string FormatGeneralDateTime(double days);
// The local date and time of a day number as the C library takes it, the zone's rules
// left to decide whether daylight saving time is in force (tm_isdst -1).
std::tm LocalTm(double days);

// Parses a time of day as operators type it ("9:00am", "9am", "21:30", "9:05:10 PM").
// Returns false when the text is not a time of day.
bool ParseTimeOfDay(const std::string& text, int& hour, int& minute, int& second);

// A time of day as the windows write it back: "H:NNam" or "H:NNpm" (hour of the 12-hour
// clock without a leading zero, two-digit minute, lower case), so "21:15" gives "9:15pm"
// and "0:00" gives "12:00am". Nothing when the text is not a time of day.
std::optional<std::string> NormaliseTimeOfDay(const std::string& text);

}  // namespace ar
