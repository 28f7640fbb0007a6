#pragma once
// Sends the due event messages of one autoresponder in one pass.
#include "processor/RunContext.h"

namespace ar {

class EventScheduler : public EventProcessor {
 public:
  explicit EventScheduler(RunContext& context) : ctx_(context) {}
  void ProcessEvents(int64_t autoresponderId, const std::string& smtpServer, const std::string& smtpUserName,
                     const std::string& smtpPassword, bool smtpTls, bool immediatePass) override;

 private:
  RunContext& ctx_;
};

}  // namespace ar
