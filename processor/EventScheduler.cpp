#include "processor/EventScheduler.h"

#include "store/Trace.h"

namespace ar {

void EventScheduler::ProcessEvents(int64_t autoresponderId, const std::string&, const std::string&, const std::string&,
                                   bool, bool immediatePass) {
  // Event dispatch is not part of this build yet: leave every subscriber due, and say so.
  TracePop(std::string("frmProcess/ProcessEvents: event dispatch is not available in this build (autoresponder ") +
               std::to_string(autoresponderId) + (immediatePass ? ", immediate pass)" : ", delayed pass)"),
           true);
}

}  // namespace ar
