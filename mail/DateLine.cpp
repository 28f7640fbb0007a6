#include "mail/DateLine.h"

#include "store/Trace.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace ar {

int GetTimeZoneOffset() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (!localtime_r(&now, &local)) {
    TracePop("Misc/GetTimeZoneOffset: cannot read the local time zone", true);
    return 0;
  }
  return static_cast<int>(-local.tm_gmtoff / 60);
}

std::string OffsetText(int biasMinutes) {
  const int offset = -biasMinutes;
  const int magnitude = std::abs(offset);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%c%02d%02d", offset >= 0 ? '+' : '-', magnitude / 60 % 100, magnitude % 60);
  return buf;
}

}  // namespace ar
