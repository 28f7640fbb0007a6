#pragma once
// The processor's life from its command line to its end, without any window: start-up
// (data folder, switches, the "ostrel" marker, connections, problem flags) and the run.
#include "mail/PosixSocket.h"
#include "processor/CommandLine.h"
#include "processor/EventScheduler.h"
#include "processor/MailboxIntake.h"
#include "processor/ProcessRun.h"
#include "processor/RunContext.h"
#include "processor/StatusList.h"
#include "store/DatabaseFiles.h"
#include "store/PresenceMarker.h"

#include <memory>
#include <string>

namespace ar {

// Exit codes of the processor.
constexpr int kExitOk = 0;
constexpr int kExitDatabaseError = 1;
constexpr int kExitAlreadyRunning = 75;  // another run holds the marker: try later

class ProcessorProgram {
 public:
  explicit ProcessorProgram(std::string commandLine);

  // Returns kExitOk when the run may start, else the exit code to end with. Nothing is
  // written to the database unless start-up succeeds.
  int StartUp(std::string& error);
  RunOutcome Run();

  bool Debug() const { return commandLine_.debug; }
  StatusList& Status() { return status_; }
  // Requested by the stop signals; ends the run after the message in hand.
  StopToken& Stop() { return stop_; }
  const std::string& DataFolder() const { return ctx_.dataFolder; }

 private:
  ProcessorCommandLine commandLine_;
  PresenceMarker marker_;
  DatabaseFiles files_;
  StatusList status_;
  StopToken stop_;
  PosixSocket socket_;
  RunContext ctx_;
  MailboxIntake mailbox_{ctx_};
  EventScheduler events_{ctx_};
  std::unique_ptr<ProcessRun> run_;
};

// The busy time-out of the processor's connections: $AUTORESPONDER_DB_TIMEOUT_MS, else 30 s.
int DatabaseTimeoutMs();
// How long an SMTP reply may take: $AUTORESPONDER_SMTP_TIMEOUT_MS, else 120 s.
int SmtpReplyTimeoutMs();

}  // namespace ar
