#include "processor/StatusList.h"

#include "base/Clock.h"
#include "base/DayNumber.h"

namespace ar {

void StatusList::LogStatus(const std::string& message) {
  bool dropped = false;
  if (lines_.size() > kMaxLines - 1) {
    lines_.pop_front();
    dropped = true;
  }
  lines_.push_back(FormatGeneralDateTime(NowDays()) + " - " + message);
  if (observer_) observer_(lines_.back(), dropped);
}

}  // namespace ar
