#pragma once
// The SMTP sessions of one pass. With one session (the default) every message runs at
// once on the pass's own thread over the run's socket, exactly as it always has. With
// more, up to that many messages run at once, each on a worker thread with a socket of
// its own; workers are started only as the messages in flight need them.
//
// Only messages in and results out cross between the threads, through one lock: the
// databases and the progress list stay with the pass's thread, which takes each result
// and reports and records it.
#include "processor/EventMessage.h"
#include "store/ConfigurationRow.h"
#include "store/Schema.h"
#include "store/Value.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace ar {

// One message handed to a session.
struct MessageJob {
  Value subscriberId;
  std::string address;  // as stored
  std::shared_ptr<const EventContent> content;
};

// A message whose session has ended.
struct FinishedMessage {
  MessageJob job;
  MessageResult result;
};

// SMTPSessions of the configuration row, as the pass uses it: 1 to kMaxSmtpSessions.
// Null, a database made before the column existed, or a value that is not a whole
// number reads as 1; a number out of range is brought into it.
int SmtpSessionsSetting(const ConfigurationRow& configuration);

class SessionPool {
 public:
  using Session = std::function<MessageResult(const MessageJob&, Socket&, const TraceFunction&)>;
  using SocketFactory = std::function<std::unique_ptr<Socket>()>;

  // sessions above 1 need newSocket; without it the pool runs one session at a time.
  SessionPool(int sessions, Socket& ownSocket, SocketFactory newSocket, Session session);
  // Lets the sessions in flight end, then ends the workers.
  ~SessionPool();
  SessionPool(const SessionPool&) = delete;
  SessionPool& operator=(const SessionPool&) = delete;

  int Sessions() const { return sessions_; }
  // Messages handed in whose results have not been taken out yet.
  int InFlight() const { return inFlight_; }

  // Hands in a message; with one session it runs before this returns.
  void Start(MessageJob job);
  // The next result, waiting for one; only while messages are in flight.
  FinishedMessage Next();
  // The next result if one is there.
  std::optional<FinishedMessage> TryNext();

 private:
  struct Worker {
    std::unique_ptr<Socket> socket;
    std::thread thread;
  };
  // False when no further worker could be started (traced).
  bool AddWorker();
  void Work(Socket& socket, TraceFunction trace);
  MessageResult Run(const MessageJob& job, Socket& socket, const TraceFunction& trace) const;

  const int sessions_;
  Socket& ownSocket_;
  SocketFactory newSocket_;
  Session session_;
  int inFlight_ = 0;  // the pass's thread alone counts these

  std::mutex mutex_;
  std::condition_variable work_;
  std::condition_variable done_;
  std::deque<MessageJob> waiting_;
  std::deque<FinishedMessage> finished_;
  int idle_ = 0;
  bool closing_ = false;
  std::vector<Worker> workers_;
};

}  // namespace ar
