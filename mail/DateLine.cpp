#include "mail/DateLine.h"

#include "base/Clock.h"
#include "base/DayNumber.h"
#include "base/Trace.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace ar {

int GetTimeZoneOffset() { return TimeZoneBiasAt(NowDays()); }

int TimeZoneBiasAt(double localDays) {
  std::tm local = LocalTm(localDays);
  const std::time_t moment = std::mktime(&local);
  std::tm resolved{};
  if (moment == static_cast<std::time_t>(-1) || !localtime_r(&moment, &resolved)) {
    TracePop("Misc/GetTimeZoneOffset: cannot read the local time zone", true);
    return 0;
  }
  return static_cast<int>(-resolved.tm_gmtoff / 60);
}

std::string OffsetText(int biasMinutes) {
  const int offset = -biasMinutes;
  const int magnitude = std::abs(offset);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%c%02d%02d", offset >= 0 ? '+' : '-', magnitude / 60 % 100, magnitude % 60);
  return buf;
}

std::string BuildDateHeader(double localDays, int biasMinutes) {
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const CivilTime t = FromDayNumber(localDays);
  char buf[64];
  std::snprintf(buf, sizeof buf, "Date: %s, %d %s %04d %02d:%02d:%02d ", kDays[t.WeekDay()], t.day,
                kMonths[(t.month - 1) % 12], t.year, t.hour, t.minute, t.second);
  return buf + OffsetText(biasMinutes);
}

std::string BuildDateHeader(double localDays) { return BuildDateHeader(localDays, TimeZoneBiasAt(localDays)); }

std::string BuildDateHeader(int biasMinutes) { return BuildDateHeader(NowDays(), biasMinutes); }

std::string BuildDateHeader() { return BuildDateHeader(NowDays()); }

}  // namespace ar
