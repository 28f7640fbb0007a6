#pragma once
// Sends the due event messages of one autoresponder in one pass, and records what was
// sent: send times are staged in TempLastEventSentTime during the pass and committed to
// LastEventSentTime at its end, so every event of the pass sees the times as they stood
// when it began.
//
// The staged marks are also the exact record of a pass that did not end (killed, power
// lost, stopped, ended by a failing server): a staged LastAutoresponderEventID says
// which event, in the pass's order, the subscriber got last. The next pass of the same
// kind sends such a subscriber only the events after that one, and a row is committed
// only once no event of the pass is still due to it, so that neither a repeat nor a
// missed event of a catch-up follows from an interruption.
#include "processor/EventMessage.h"
#include "processor/RunContext.h"
#include "processor/SessionPool.h"

#include <functional>
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

  explicit EventScheduler(RunContext& context) : ctx_(context), message_(context) {}
  PassEnd ProcessEvents(int64_t autoresponderId, const std::string& smtpServer, const std::string& smtpUserName,
                        const std::string& smtpPassword, bool smtpTls, bool immediatePass) override;

  EventMessage& Messages() { return message_; }

 private:
  // The events of a pass in their order: key and interval.
  struct PassEvent {
    Value id;
    Value interval;
  };
  // What one pass keeps in memory.
  struct PassState {
    int64_t autoresponderId = 0;
    std::vector<PassEvent> order;
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
  // Marks a subscriber as sent the event in this pass.
  void Mark(const PassState& pass, const Value& subscriberId, const Value& eventId);
  // Commits the staged rows of events that are no longer active (their pass cannot go
  // on), before a pass starts.
  void SettleOrphans(int64_t autoresponderId);
  // Commits every staged row of this pass to which no later event of the pass is due.
  void Commit(const PassState& pass);
  bool Stopping() const { return ctx_.stop && ctx_.stop->Requested(); }

  RunContext& ctx_;
  EventMessage message_;
};

}  // namespace ar
