#include "base/DayNumber.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace ar {
namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& y, int& m, int& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long yy = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

// 1899-12-30 counted from 1970-01-01.
const long long kEpochOffset = DaysFromCivil(1899, 12, 30);

}  // namespace

int CivilTime::WeekDay() const {
  const long long z = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  // 1970-01-01 was a Thursday (4).
  return static_cast<int>(((z % 7) + 7 + 4) % 7);
}

double ToDayNumber(const CivilTime& t) {
  const long long day = DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) - kEpochOffset;
  const double fraction =
      (t.hour * 3600.0 + t.minute * 60.0 + t.second + t.millisecond / 1000.0) / 86400.0;
  return static_cast<double>(day) + fraction;
}

CivilTime FromDayNumber(double days) {
  long long whole = DayOf(days);
  double fraction = days - static_cast<double>(whole);
  // Round to the millisecond so that 0.999999 of a second does not show as the second before.
  long long ms = std::llround(fraction * 86400000.0);
  if (ms >= 86400000LL) {
    ms -= 86400000LL;
    ++whole;
  }
  CivilTime t;
  CivilFromDays(whole + kEpochOffset, t.year, t.month, t.day);
  t.hour = static_cast<int>(ms / 3600000);
  t.minute = static_cast<int>(ms / 60000 % 60);
  t.second = static_cast<int>(ms / 1000 % 60);
  t.millisecond = static_cast<int>(ms % 1000);
  return t;
}

long long DayOf(double days) { return static_cast<long long>(std::floor(days)); }

std::string FormatYYYYMMDD(double days) {
  const CivilTime t = FromDayNumber(days);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", t.year, t.month, t.day);
  return buf;
}

std::string FormatHHNN(double days) {
  const CivilTime t = FromDayNumber(days);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d%02d", t.hour, t.minute);
  return buf;
}

std::tm LocalTm(double days) {
  const CivilTime t = FromDayNumber(days);
  std::tm tm{};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = t.second;
  tm.tm_wday = t.WeekDay();
  tm.tm_isdst = -1;
  return tm;
}

std::string FormatGeneralDateTime(double days) {
  const std::tm tm = LocalTm(days);
  char buf[128];
  const size_t n = std::strftime(buf, sizeof buf, "%x %X", &tm);
  return std::string(buf, n);
}

bool ParseTimeOfDay(const std::string& text, int& hour, int& minute, int& second) {
  size_t i = 0;
  const size_t n = text.size();
  auto skipBlanks = [&] {
    while (i < n && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  };
  auto number = [&](int& out, size_t maxDigits) {
    size_t start = i;
    out = 0;
    while (i < n && i - start < maxDigits && std::isdigit(static_cast<unsigned char>(text[i])))
      out = out * 10 + (text[i++] - '0');
    return i > start;
  };
  skipBlanks();
  hour = minute = second = 0;
  if (!number(hour, 2)) return false;
  bool hasMinutes = false;
  if (i < n && text[i] == ':') {
    ++i;
    if (!number(minute, 2)) return false;
    hasMinutes = true;
    if (i < n && text[i] == ':') {
      ++i;
      if (!number(second, 2)) return false;
    }
  }
  skipBlanks();
  if (i < n) {
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
    if ((c != 'a' && c != 'p') || i + 1 >= n ||
        std::tolower(static_cast<unsigned char>(text[i + 1])) != 'm')
      return false;
    if (hour < 1 || hour > 12) return false;
    if (c == 'a' && hour == 12) hour = 0;
    if (c == 'p' && hour != 12) hour += 12;
    i += 2;
    skipBlanks();
    if (i != n) return false;
  } else if (!hasMinutes) {
    return false;  // a bare number is not a time of day
  }
  return hour < 24 && minute < 60 && second < 60;
}

std::optional<std::string> NormaliseTimeOfDay(const std::string& text) {
  int hour = 0, minute = 0, second = 0;
  if (!ParseTimeOfDay(text, hour, minute, second)) return std::nullopt;
  const int twelve = hour % 12 == 0 ? 12 : hour % 12;
  char buf[16];
  std::snprintf(buf, sizeof buf, "%d:%02d%s", twelve, minute, hour < 12 ? "am" : "pm");
  return std::string(buf);
}

}  // namespace ar
