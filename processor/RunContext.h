#pragma once
// What every step of a processing run shares: the data folder, the switches, the two
// connections, the autoresponder being worked on, and the status setters.
#include "mail/Socket.h"
#include "mail/StopToken.h"
#include "processor/StatusList.h"
#include "store/Connection.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ar {

// Everything here belongs to the run's own thread; SMTP sessions that run at once on
// other threads touch only their sockets and the trace log (see SessionPool).
struct RunContext {
  std::string dataFolder;
  bool debug = false;
  Connection* config = nullptr;
  Connection* subscribers = nullptr;
  StatusList* status = nullptr;
  Socket* socket = nullptr;  // the run's one socket: the mailbox sessions, then SMTP
  // A socket for each further SMTP session that runs at once (with the stop token set);
  // without it a pass runs one session at a time over `socket`.
  std::function<std::unique_ptr<Socket>()> newSocket;
  const StopToken* stop = nullptr;  // set when the run can be stopped (SIGTERM, SIGINT)
  int64_t currentAutoresponder = 0;
  // What the run did, recorded at its end for the monitor's "Last processed" line: the
  // subscribers added from the mailboxes, and the messages the SMTP server accepted.
  int64_t newSubscribers = 0;
  int64_t emailsSent = 0;
  // Closes both connections at the end of the run (and releases what guards them).
  std::function<void()> closeDatabases;

  void LogStatus(const std::string& message) const;
  // These record outcomes for the operator and the monitor. A failure is traced and
  // swallowed: recording a status must not stop the run.
  void SetLastAutoresponderStatus(const std::string& status) const;
  void SetSMTPProblemStatus(bool problem) const;
  void SetPOPProblemStatus(bool problem) const;
};

// The mailbox phase, for one autoresponder.
class MailboxReader {
 public:
  virtual ~MailboxReader() = default;
  virtual void ReadPOP(const std::string& server, const std::string& userName, const std::string& password,
                       bool useTls, int64_t autoresponderId, const std::string& serverType,
                       const std::string& imapFolder) = 0;
};

// How a pass of the event phase ended.
enum class PassEnd {
  Completed,     // every due subscriber was tried
  ServerFailed,  // ended after a run of server failures; the rest stays due
  Stopped,       // ended by a stop request; the rest stays due
  Error,         // ended by an error, traced; the rest stays due
  NotRecorded,   // a message could not be recorded (the database cannot be written):
                 // no further message may go in this run
};

// The event phase, for one autoresponder and one pass (immediate: events of zero days).
class EventProcessor {
 public:
  virtual ~EventProcessor() = default;
  virtual PassEnd ProcessEvents(int64_t autoresponderId, const std::string& smtpServer, const std::string& smtpUserName,
                             const std::string& smtpPassword, bool smtpTls, bool immediatePass) = 0;
};

}  // namespace ar
