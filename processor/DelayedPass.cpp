#include "processor/DelayedPass.h"

#include "base/DayNumber.h"

#include <cstdio>

namespace ar {

DelayedPassDecision DecideDelayedPass(const std::string& timeOfDay, const Value& lastRespondTime, double now) {
  if (timeOfDay.empty()) return DelayedPassDecision::RunEveryTime;
  int hour = 0, minute = 0, second = 0;
  if (!ParseTimeOfDay(timeOfDay, hour, minute, second)) return DelayedPassDecision::InvalidTimeOfDay;
  const bool notToday = lastRespondTime.IsNull() || FormatYYYYMMDD(lastRespondTime.AsReal()) != FormatYYYYMMDD(now);
  char wanted[8];
  std::snprintf(wanted, sizeof wanted, "%02d%02d", hour, minute);
  if (notToday && FormatHHNN(now) > std::string(wanted)) return DelayedPassDecision::RunAndRecordTime;
  return DelayedPassDecision::Skip;
}

}  // namespace ar
