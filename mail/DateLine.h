#pragma once
// The "Date: " line every mail of the system carries, and the local offset from UTC.
#include <string>

namespace ar {

// Minutes to add to local time to get UTC (negative east of UTC), daylight saving
// included, as the system's time zone bias.
int GetTimeZoneOffset();

// "+0100", "-0500", "+0530", "+0000": the negated bias as sign, hours and minutes.
std::string OffsetText(int biasMinutes);

}  // namespace ar
