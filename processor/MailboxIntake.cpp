#include "processor/MailboxIntake.h"

#include "store/Trace.h"

namespace ar {

void MailboxIntake::ReadPOP(const std::string& server, const std::string&, const std::string&, bool, int64_t autoresponderId,
                            const std::string& serverType, const std::string&) {
  // The mailbox sessions are not part of this build yet: say so rather than pretend the
  // mailbox was read.
  const std::string message = "frmProcess:ReadPOP: mailbox intake is not available in this build (" + serverType +
                              " " + server + ", autoresponder " + std::to_string(autoresponderId) + ")";
  TracePop(message, true);
  ctx_.LogStatus("Error: mailbox intake is not available in this build");
}

}  // namespace ar
