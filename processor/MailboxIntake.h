#pragma once
// Reads an autoresponder's mailbox and applies its subscribe and unsubscribe requests.
#include "processor/RunContext.h"

namespace ar {

class MailboxIntake : public MailboxReader {
 public:
  explicit MailboxIntake(RunContext& context) : ctx_(context) {}
  void ReadPOP(const std::string& server, const std::string& userName, const std::string& password, bool useTls,
               int64_t autoresponderId, const std::string& serverType, const std::string& imapFolder) override;

 private:
  RunContext& ctx_;
};

}  // namespace ar
