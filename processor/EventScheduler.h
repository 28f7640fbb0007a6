#pragma once
// Sends the due event messages of one autoresponder in one pass, and records what was
// sent.
//
// What is due follows the subscriber's place in the sequence: the events of the
// autoresponder in the order the two passes send them (the immediate events by key, then
// the others by interval and key), and LastAutoresponderEventID, the event the subscriber
// got last, written with every message the server takes. An active event is due to a
// subscriber whose place lies between the active event before it (or the start, for the
// first) and this one, once the subscriber's age in calendar days has reached its
// interval. So every event goes once and in order, whatever the delays: a welcome sent
// after midnight, a run that crosses midnight, a welcome deferred while a later event
// would already be due. A subscriber who is behind gets every event due by now in one
// pass, since each mark moves the place on before the next event is chosen.
//
// A row whose place is unknown (written before the place was kept, or naming an event
// since deleted) is judged by its last send time as it always was: due for an event of N
// days when the last message went out fewer than N calendar days after the day of adding.
//
// Send times are staged in TempLastEventSentTime during the pass and committed to
// LastEventSentTime at its end (what the counts of the summary and the monitor read).
#include "processor/EventMessage.h"
#include "processor/RunContext.h"
#include "processor/SessionPool.h"

#include <deque>
#include <functional>
#include <stdexcept>
#include <unordered_set>
#include <vector>

namespace ar {

// With several SMTP sessions at once (SMTPSessions of the configuration) a pass keeps
// what it means with one: every message is a session of its own; an event's messages
// are all handed over or failed before the next event starts, so the events still reach
// a subscriber in their order; marks are staged as each session ends, on the pass's
// thread, which alone writes the databases.
class EventScheduler : public EventProcessor {
 public:
  // A pass ends after this many sessions in a row that failed at the server's level.
  static constexpr int kServerFailuresEndingPass = 3;

  // A mark that could not be written: the pass ends before the next message is handed
  // over, or every later message would be sent again at the next run.
  class MarkNotWritten : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
  };

  explicit EventScheduler(RunContext& context) : ctx_(context), message_(context) {}
  PassEnd ProcessEvents(int64_t autoresponderId, const std::string& smtpServer, const std::string& smtpUserName,
                        const std::string& smtpPassword, bool smtpTls, bool immediatePass) override;

  EventMessage& Messages() { return message_; }

 private:
  // The events of a pass in their order: key, interval, and the places in the whole
  // sequence of this event and of the active event before it (-1 for the first).
  struct PassEvent {
    Value id;
    Value interval;
    int rank = 0;
    int previousActiveRank = -1;
  };
  // What one pass keeps in memory.
  struct PassState {
    int64_t autoresponderId = 0;
    std::vector<PassEvent> order;
    // Every event of the autoresponder with an interval, active or not: key and place.
    std::vector<std::pair<int64_t, int>> sequence;
    // The event being sent.
    Value eventId;
    std::string eventName;
    // Subscribers whose message failed in this pass get none of its later events, so
    // that the failed one stays due and the order of the sequence holds.
    std::unordered_set<int64_t> failed;
    int serverFailuresInRow = 0;
    // Set once the server failed kServerFailuresEndingPass sessions in a row: no further
    // message starts, the ones in flight finish.
    bool ending = false;
    SessionPool* sessions = nullptr;
    // How many sessions may be in flight now. It starts at one and grows by one with every
    // session the server served, up to the setting; a session the server failed halves it.
    // A dead server or a refused password so costs the same three sessions as one at a
    // time, and a relay that limits its connections is not flooded.
    int window = 1;
    // The most sessions the relay has shown it takes at once: the setting, until a
    // connection is refused while others are open.
    int ceiling = 1;
    // Messages whose connection the relay refused while other sessions of the pass were
    // open: handed over again once a session is free.
    std::deque<MessageJob> retry;
    // Set once a write to the subscriber table went through in this pass.
    bool writable = false;
    // Runs a write of a mark with the pass's durability (see DurabilityGuard).
    std::function<void(const std::function<void()>&)> write;
  };

  PassEnd SendEvent(PassState& pass, std::size_t position, const RowSet& event);
  // Whether the event's From address can be written into MAIL FROM; reports it if not.
  bool SenderUsable(const PassState& pass, const RowSet& event);
  // Hands every due subscriber of the event to a session, a page of rows at a time.
  PassEnd SendToDue(PassState& pass, std::size_t position, const RowSet& event);
  // Starts one message once a session is free, and takes every result already there.
  void Hand(PassState& pass, MessageJob job);
  // Reports and records one message whose session has ended.
  void Take(PassState& pass, const FinishedMessage& finished);
  // Waits for every message in flight and takes it.
  void Settle(PassState& pass);
  // The same after an error ended the pass: what can still be recorded is.
  void SettleAfterError(PassState& pass);
  // What to do with the outcome of one message; sets pass.ending when the pass must end.
  void Record(PassState& pass, const MessageResult& result, const Value& subscriberId, const std::string& address);
  // Writes the subscriber's row unchanged before the pass's first message; throws
  // MarkNotWritten when the table cannot be written.
  void ProbeWritable(PassState& pass, const Value& subscriberId);
  // Marks a subscriber as sent the event in this pass.
  void Mark(const PassState& pass, const Value& subscriberId, const Value& eventId);
  // The places of the autoresponder's events, and of this pass's events among them.
  void ReadSequence(PassState& pass);
  // Whether a refused connection is the relay's limit on connections at once: others of
  // the pass are open. Lowers the ceiling when it is.
  bool RefusedExtraConnection(PassState& pass, const MessageResult& result);
  // Commits every staged row: the place in the sequence is already written.
  void Commit(const PassState& pass);
  bool Stopping() const { return ctx_.stop && ctx_.stop->Requested(); }

  RunContext& ctx_;
  EventMessage message_;
};

}  // namespace ar
