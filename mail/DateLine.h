#pragma once
// The "Date: " line every mail of the system carries, and the local offset from UTC.
#include <string>

namespace ar {

// Minutes to add to local time to get UTC (negative east of UTC), daylight saving
// included, as the system's time zone bias.
int GetTimeZoneOffset();

// "+0100", "-0500", "+0530", "+0000": the negated bias as sign, hours and minutes.
std::string OffsetText(int biasMinutes);

// "Date: Mon, 5 Jan 2009 14:03:09 +0100" (no CR LF) for a local day number and a bias.
std::string BuildDateHeader(double localDays, int biasMinutes);
// The same line for the process clock's now, with the given bias.
std::string BuildDateHeader(int biasMinutes);
// The same line for now, with the bias of the local time zone.
std::string BuildDateHeader();

}  // namespace ar
