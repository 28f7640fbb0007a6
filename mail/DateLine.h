#pragma once
// The "Date: " line every mail of the system carries, and the local offset from UTC.
//
// The offset belongs to a moment, not to a run: a run that crosses a change of daylight
// saving time must date each mail with the offset in force when that mail is made. The
// moment is always a local day number of the process clock (store/Clock.h), so a test
// that fixes the clock fixes the offset too.
#include <string>

namespace ar {

// Minutes to add to local time to get UTC (negative east of UTC), daylight saving
// included, as the system's time zone bias, at the process clock's now.
int GetTimeZoneOffset();

// The same bias at the given local day number: the offset the local time zone has at
// that moment. A local time that falls twice (the hour repeated in autumn) takes the one
// the C library chooses; one that does not exist (the hour skipped in spring) counts as
// the moment after the change.
int TimeZoneBiasAt(double localDays);

// "+0100", "-0500", "+0530", "+0000": the negated bias as sign, hours and minutes.
std::string OffsetText(int biasMinutes);

// "Date: Mon, 5 Jan 2009 14:03:09 +0100" (no CR LF) for a local day number and a bias.
std::string BuildDateHeader(double localDays, int biasMinutes);
// The same line for a local day number, with the offset in force at that moment.
std::string BuildDateHeader(double localDays);
// The same line for the process clock's now, with the given bias.
std::string BuildDateHeader(int biasMinutes);
// The same line for the process clock's now, with the offset in force now.
std::string BuildDateHeader();

}  // namespace ar
