#pragma once
// One processing run: the mailbox phase for every active autoresponder, then (unless
// today is a blackout day) the event phase for every autoresponder, then the end time.
// A stop request ends the run after the message in hand; the end time is still recorded.
#include "mail/SmtpSession.h"
#include "processor/RunContext.h"

#include <cstdint>

namespace ar {

enum class RunOutcome {
  Completed,               // the run went through (errors on the way are traced)
  SmtpServerNotSpecified,  // nothing was done; the program ends at once
  // A message could not be recorded, sending stopped, and not even that could be
  // written: the program reports it on standard error and ends with a failure.
  SendingStoppedUnrecorded,
};

class ProcessRun {
 public:
  ProcessRun(RunContext& context, MailboxReader& mailbox, EventProcessor& events, int64_t autoresponderId);

  // Start-up once the connections are open: both problem flags reset.
  void StartUp();
  // The run itself. Closes both connections before it returns, whatever happened.
  RunOutcome Run();

 private:
  SmtpSettings ReadSettings();
  void MailboxPhase();
  bool IsBlackoutDay();
  void EventPhase(const SmtpSettings& settings);
  // Whether the pass ended the event phase (a stop request, a mark that could not be
  // written); records why for the autoresponder.
  bool Ended(PassEnd end);
  bool Stopping() const { return ctx_.stop && ctx_.stop->Requested(); }
  void Finish();
  void CloseDatabases();
  std::string FilterSql(const char* keyword) const;
  Params FilterParams() const;

  RunContext& ctx_;
  MailboxReader& mailbox_;
  EventProcessor& events_;
  int64_t autoresponderId_;
  bool notRecorded_ = false;     // sending stopped: a mark could not be written
  bool statusRecorded_ = false;  // and the autoresponder's status says so
};

}  // namespace ar
