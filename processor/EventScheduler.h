#pragma once
// Sends the due event messages of one autoresponder in one pass, and records what was
// sent: send times are staged in TempLastEventSentTime during the pass and committed to
// LastEventSentTime at its end, so every event of the pass sees the times as they stood
// when it began.
#include "processor/EventMessage.h"
#include "processor/RunContext.h"

namespace ar {

class EventScheduler : public EventProcessor {
 public:
  explicit EventScheduler(RunContext& context) : ctx_(context), message_(context) {}
  void ProcessEvents(int64_t autoresponderId, const std::string& smtpServer, const std::string& smtpUserName,
                     const std::string& smtpPassword, bool smtpTls, bool immediatePass) override;

  EventMessage& Messages() { return message_; }

 private:
  void SendEvent(int64_t autoresponderId, const RowSet& event, const SmtpSettings& settings);

  RunContext& ctx_;
  EventMessage message_;
};

}  // namespace ar
