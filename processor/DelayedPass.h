#pragma once
// Whether an autoresponder's delayed pass runs in this run, by its time of day.
#include "store/Value.h"

#include <string>

namespace ar {

enum class DelayedPassDecision {
  RunEveryTime,       // no time of day: delayed events are due at every run
  RunAndRecordTime,   // time of day passed and not yet processed today
  Skip,               // not yet the time, or processed already today
  InvalidTimeOfDay,   // the stored text is not a time of day
};

// timeOfDay: TimeOfDayToRespond ("" when Null); lastRespondTime: LastRespondTime;
// now: the current local day number. The time must be strictly past the minute given
// ("HHNN" compared), so 09:00:30 does not pass 9:00am but 09:01 does.
DelayedPassDecision DecideDelayedPass(const std::string& timeOfDay, const Value& lastRespondTime, double now);

}  // namespace ar
