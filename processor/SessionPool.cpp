#include "processor/SessionPool.h"

#include "base/Trace.h"

#include <algorithm>
#include <stdexcept>
#include <system_error>

namespace ar {
namespace {

// Trace lines of one worker's sessions carry its number, so that the dialogues of
// sessions that ran at once can be told apart in the log.
TraceFunction NumberedTrace(int number) {
  const std::string tag = "[" + std::to_string(number) + "] ";
  return [tag](const std::string& message, bool force) { TracePop(tag + message, force); };
}

}  // namespace

int SmtpSessionsSetting(const ConfigurationRow& configuration) {
  const Value stored = configuration.SmtpSessions();
  if (stored.IsNull()) return 1;
  const auto refuse = [&](const std::string& why, int instead) {
    TracePop("frmProcess/ProcessEvents: SMTPSessions " + why + "; " + std::to_string(instead) +
                 (instead == 1 ? " session is used" : " sessions are used"),
             true);
    return instead;
  };
  if (!stored.IsInteger()) return refuse("is not a whole number: " + stored.AsText(), 1);
  const int64_t sessions = stored.AsInteger();
  if (sessions < 1) return refuse("is below 1: " + std::to_string(sessions), 1);
  if (sessions > kMaxSmtpSessions) return refuse("is above the most allowed: " + std::to_string(sessions), kMaxSmtpSessions);
  return static_cast<int>(sessions);
}

SessionPool::SessionPool(int sessions, Socket& ownSocket, SocketFactory newSocket, Session session)
    : sessions_(newSocket ? std::clamp(sessions, 1, kMaxSmtpSessions) : 1),
      ownSocket_(ownSocket),
      newSocket_(std::move(newSocket)),
      session_(std::move(session)) {
  // Adding a worker whose thread runs then never needs memory, so it cannot fail halfway.
  workers_.reserve(static_cast<std::size_t>(sessions_));
}

SessionPool::~SessionPool() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  work_.notify_all();
  for (Worker& worker : workers_) worker.thread.join();
}

MessageResult SessionPool::Run(const MessageJob& job, Socket& socket, const TraceFunction& trace) const {
  try {
    return session_(job, socket, trace);
  } catch (const std::exception& e) {
    // A session reports its own failures; this keeps anything else from ending a worker.
    MessageResult result;
    result.failure = MessageResult::Failure::Unexpected;
    result.reason = e.what();
    socket.Abort();
    return result;
  }
}

void SessionPool::Start(MessageJob job) {
  ++inFlight_;
  if (sessions_ > 1) {
    std::unique_lock<std::mutex> lock(mutex_);
    const bool needWorker = waiting_.size() >= static_cast<std::size_t>(idle_) &&
                            workers_.size() < static_cast<std::size_t>(sessions_);
    lock.unlock();
    if (!needWorker || AddWorker() || !workers_.empty()) {
      lock.lock();
      waiting_.push_back(std::move(job));
      lock.unlock();
      work_.notify_one();
      return;
    }
    // Not one worker could be started: the message runs here rather than never.
  }
  MessageResult result = Run(job, ownSocket_, TracePop);
  const std::lock_guard<std::mutex> lock(mutex_);
  finished_.push_back({std::move(job), std::move(result)});
}

bool SessionPool::AddWorker() {
  try {
    Worker worker{newSocket_(), {}};
    Socket& socket = *worker.socket;
    const int number = static_cast<int>(workers_.size()) + 1;
    worker.thread = std::thread([this, &socket, number] { Work(socket, NumberedTrace(number)); });
    workers_.push_back(std::move(worker));
    return true;
  } catch (const std::exception& e) {
    // Fewer sessions at once than set, but the pass goes on.
    TracePop(std::string("frmProcess/ProcessEvents: cannot start another SMTP session: ") + e.what(), true);
    return false;
  }
}

void SessionPool::Work(Socket& socket, TraceFunction trace) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    ++idle_;
    work_.wait(lock, [&] { return closing_ || !waiting_.empty(); });
    --idle_;
    if (waiting_.empty()) return;
    MessageJob job = std::move(waiting_.front());
    waiting_.pop_front();
    lock.unlock();
    MessageResult result = Run(job, socket, trace);
    lock.lock();
    finished_.push_back({std::move(job), std::move(result)});
    done_.notify_one();
  }
}

FinishedMessage SessionPool::Next() {
  if (inFlight_ == 0) throw std::logic_error("SessionPool::Next without a message in flight");
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [&] { return !finished_.empty(); });
  FinishedMessage finished = std::move(finished_.front());
  finished_.pop_front();
  --inFlight_;
  return finished;
}

std::optional<FinishedMessage> SessionPool::TryNext() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (finished_.empty()) return std::nullopt;
  FinishedMessage finished = std::move(finished_.front());
  finished_.pop_front();
  --inFlight_;
  return finished;
}

}  // namespace ar
