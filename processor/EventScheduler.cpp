#include "processor/EventScheduler.h"

#include "base/Text.h"
#include "base/Trace.h"
#include "mail/Addresses.h"
#include "mail/EnvelopeAddress.h"
#include "processor/EventPreflight.h"
#include "store/ConfigurationRow.h"
#include "store/Schema.h"

#include <algorithm>
#include <chrono>
#include <functional>

namespace ar {
namespace {
// Due subscribers are read in pages by key, so that a list of any size is held in
// memory a page at a time.
constexpr int kPageSize = 500;

// Marks are written without waiting for the disk: a killed process loses none of them,
// and a flush for every mark would cut the pace of a pass to a fifth. One write a second
// does wait, and so makes every mark before it durable too: a power loss can lose at
// most the last second's marks (their messages may then go twice). The guard restores
// full flushes when it goes, whatever happened.
class DurabilityGuard {
 public:
  explicit DurabilityGuard(Connection& c) : c_(c) { c_.Execute("PRAGMA synchronous=NORMAL"); }
  ~DurabilityGuard() {
    try {
      Restore();
    } catch (const std::exception&) {
    }
  }
  void Write(const std::function<void()>& write) {
    const auto now = std::chrono::steady_clock::now();
    if (restored_ || now - lastFlush_ < std::chrono::seconds(1)) {
      write();
      return;
    }
    c_.Execute("PRAGMA synchronous=FULL");
    write();
    c_.Execute("PRAGMA synchronous=NORMAL");
    lastFlush_ = now;
  }
  void Restore() {
    if (restored_) return;
    restored_ = true;
    c_.Execute("PRAGMA synchronous=FULL");
  }

 private:
  Connection& c_;
  bool restored_ = false;
  std::chrono::steady_clock::time_point lastFlush_ = std::chrono::steady_clock::now();
};

}  // namespace

PassEnd EventScheduler::ProcessEvents(int64_t autoresponderId, const std::string& smtpServer,
                                      const std::string& smtpUserName, const std::string& smtpPassword, bool smtpTls,
                                      bool immediatePass) {
  try {
    // The pass reads its settings once; a change in the window counts from the next pass.
    const ConfigurationRow config = ConfigurationRow::Read(*ctx_.config);
    SmtpSettings settings{smtpServer, smtpUserName, smtpPassword, smtpTls, config.HeloName()};
    SessionPool sessions(SmtpSessionsSetting(config), *ctx_.socket, ctx_.newSocket,
                         [this, &settings](const MessageJob& job, Socket& socket, const TraceFunction& trace) {
                           return message_.Send(*job.content, job.address, settings, socket, trace);
                         });

    const char* events =
        immediatePass ? "select * from tblAutoresponderEvents where Active<>0 AND AutoresponderID=? AND EventInterval=0"
                        " ORDER BY AutoresponderEventID"
                      : "select * from tblAutoresponderEvents where Active<>0 AND AutoresponderID=? AND EventInterval<>0"
                        " ORDER BY EventInterval,AutoresponderEventID";
    RowSet event = ctx_.config->Query(events, {Value(autoresponderId)});
    DurabilityGuard durability(*ctx_.subscribers);
    PassState pass;
    pass.autoresponderId = autoresponderId;
    pass.sessions = &sessions;
    pass.ceiling = sessions.Sessions();
    pass.write = [&durability](const std::function<void()>& write) { durability.Write(write); };
    for (RowSet scan = event; !scan.Eof(); scan.MoveNext())
      pass.order.push_back({scan.Field("AutoresponderEventID").AsInteger(), scan.Field("EventInterval").AsInteger()});
    ReadSequence(pass);

    // With EnablePreflight on, an event that fails the check ends the pass unsent.
    const bool preflight = config.EnablePreflight();
    PassEnd end = PassEnd::Completed;
    for (std::size_t position = 0; !event.Eof() && end == PassEnd::Completed; event.MoveNext(), ++position)
      end = preflight && !EventPassesPreflight(ctx_, event) ? PassEnd::Error : SendEvent(pass, position, event);

    durability.Restore();
    Commit(pass);
    return end;
  } catch (const MarkNotWritten& e) {
    TracePop(std::string("frmProcess/ProcessEvents: ") + e.what() + "; sending stopped", true);
    return PassEnd::NotRecorded;
  } catch (const std::exception& e) {
    TracePop(std::string("frmProcess/ProcessEvents: ") + e.what(), true);
    return PassEnd::Error;
  }
}

void EventScheduler::ReadSequence(PassState& pass) {
  // The order of the two passes: the immediate events first, then the others.
  RowSet all = ctx_.config->Query(
      "select AutoresponderEventID, Active from tblAutoresponderEvents where AutoresponderID=? AND EventInterval IS NOT NULL"
      " ORDER BY (EventInterval<>0), EventInterval, AutoresponderEventID",
      {Value(pass.autoresponderId)});
  std::unordered_map<int64_t, std::pair<int, int>> placeOf;  // key: own rank, rank of the active event before
  int previousActive = -1;
  for (int rank = 0; !all.Eof(); all.MoveNext(), ++rank) {
    const int64_t id = all.Field("AutoresponderEventID").AsInteger();
    pass.sequence.emplace_back(id, rank);
    placeOf[id] = {rank, previousActive};
    if (NullToDefault(all.Field("Active"), false)) previousActive = rank;
  }
  for (PassEvent& e : pass.order) {
    const auto it = placeOf.find(e.id.AsInteger());
    if (it == placeOf.end()) throw std::runtime_error("event " + e.id.AsText() + " left the sequence during the pass");
    e.rank = it->second.first;
    e.previousActiveRank = it->second.second;
  }
}

void EventScheduler::Commit(const PassState& pass) {
  if (pass.order.empty()) return;
  // Rows staged by an interrupted pass of either kind are committed too: their place is
  // written, so their send time no longer decides anything.
  try {
    ctx_.subscribers->Execute("update " + SubscriberTable(pass.autoresponderId) +
                              " set LastEventSentTime=TempLastEventSentTime,TempLastEventSentTime=NULL"
                              " where TempLastEventSentTime IS NOT NULL");
  } catch (const DbError& e) {
    throw MarkNotWritten(std::string("the send times of the pass could not be written: ") + e.what());
  }
}

PassEnd EventScheduler::SendEvent(PassState& pass, std::size_t position, const RowSet& event) {
  pass.eventId = pass.order[position].id;
  pass.eventName = NullToDefault(event.Field("EventName"), "");
  // Every message of the event would carry it: none goes, and the later events wait
  // until the operator mends the address.
  if (!SenderUsable(pass, event)) return PassEnd::Error;

  PassEnd end = PassEnd::Completed;
  try {
    end = SendToDue(pass, position, event);
    // The event's messages are all handed over, or failed, before the next event starts.
    Settle(pass);
    // A stop that came with the last due rows left them unsent (or abandoned in hand):
    // the pass did not complete, and a delayed pass must not record its daily time.
    if (end == PassEnd::Completed && Stopping()) end = PassEnd::Stopped;
  } catch (const std::exception&) {
    SettleAfterError(pass);
    throw;
  }
  return end == PassEnd::Completed && pass.ending ? PassEnd::ServerFailed : end;
}

bool EventScheduler::SenderUsable(const PassState& pass, const RowSet& event) {
  const std::string fromAddress = NullToDefault(event.Field("FromAddress"), "");
  const std::string sender = SenderAddress(fromAddress);
  if (!HasControlCharacter(fromAddress) && (sender.empty() || IsSafeEnvelopeAddress(sender))) return true;
  TracePop("frmProcess/ProcessEvents: event " + pass.eventId.AsText() + " (" + pass.eventName +
               "): the From address cannot be written into MAIL FROM: " + PrintableText(fromAddress),
           true);
  ctx_.LogStatus("Error: the From address of event " + pass.eventName + " is not usable");
  ctx_.SetLastAutoresponderStatus(kStatusUnusableSender);
  return false;
}

PassEnd EventScheduler::SendToDue(PassState& pass, std::size_t position, const RowSet& event) {
  const int64_t autoresponderId = pass.autoresponderId;
  const Value interval = pass.order[position].interval;

  const PassEvent& current = pass.order[position];
  // The subscriber's place: the rank of the event it got last; -1 before the first
  // message; Null when the event is unknown (a row of an older version, a deleted event).
  std::string place =
      "CASE WHEN LastAutoresponderEventID IS NULL AND LastEventSentTime IS NULL AND TempLastEventSentTime IS NULL"
      " THEN -1 ELSE CASE LastAutoresponderEventID";
  Params placeParams;
  for (const auto& [eventId, rank] : pass.sequence) {
    place += " WHEN ? THEN ?";
    placeParams.emplace_back(static_cast<long long>(eventId));
    placeParams.emplace_back(static_cast<long long>(rank));
  }
  place += " ELSE NULL END END";
  const std::string due =
      "select SubscriberID, EmailAddress from (select SubscriberID, EmailAddress, AddedDate, UnsubscribeDate,"
      " coalesce(LastEventSentTime, TempLastEventSentTime) AS LastSent, " + place + " AS Place from " +
      SubscriberTable(autoresponderId) +
      ") where (UnsubscribeDate IS NULL) and ((int(now())-int(AddedDate))>=?) and SubscriberID>?"
      " and ((Place>=? and Place<?)"
      " or (Place IS NULL and (LastSent IS NULL or (int(LastSent)-int(AddedDate))<?)))"
      " ORDER BY SubscriberID LIMIT " + std::to_string(kPageSize);

  std::shared_ptr<const EventContent> content;
  Value after = 0LL;
  for (;;) {
    Params params = placeParams;
    params.insert(params.end(), {interval, after, static_cast<long long>(current.previousActiveRank),
                                 static_cast<long long>(current.rank), interval});
    RowSet page = ctx_.subscribers->Query(due, params);
    if (page.Eof()) break;
    for (; !page.Eof(); page.MoveNext()) {
      if (Stopping()) return PassEnd::Stopped;
      after = page.Field("SubscriberID");
      if (pass.failed.contains(after.AsInteger())) continue;
      const Value& address = page.Field("EmailAddress");
      if (address.IsNull()) {
        // A row without an address cannot be sent to; it must not hold up the others.
        TracePop("frmProcess/ProcessEvents: subscriber " + after.AsText() + " of autoresponder " +
                     std::to_string(autoresponderId) + " has no address",
                 true);
        continue;
      }
      const std::string stored = address.AsText();
      if (HasControlCharacter(TrimBlanks(stored)) || !IsSafeEnvelopeAddress(RecipientAddress(stored))) {
        // It would break the RCPT command or smuggle another onto the wire. Like an
        // address the server refuses for good, it is marked, so that it is not tried
        // again at every run, and the others go on.
        TracePop("frmProcess/ProcessEvents: subscriber " + after.AsText() + " of autoresponder " +
                     std::to_string(autoresponderId) + " skipped: the address cannot be written into RCPT TO: " +
                     PrintableText(stored),
                 true);
        ctx_.LogStatus("Skipped unusable address: " + PrintableText(stored) + " for event " + pass.eventName);
        Mark(pass, after, pass.eventId);
        continue;
      }
      content = message_.Content(event, std::move(content));
      if (!pass.writable) ProbeWritable(pass, after);
      Hand(pass, {after, stored, content});
      if (pass.ending) return PassEnd::ServerFailed;
    }
    if (page.Count() < static_cast<size_t>(kPageSize)) break;
  }
  return PassEnd::Completed;
}

void EventScheduler::Hand(PassState& pass, MessageJob job) {
  pass.retry.push_back(std::move(job));
  SessionPool& sessions = *pass.sessions;
  while (!pass.retry.empty()) {
    while (sessions.InFlight() >= pass.window) Take(pass, sessions.Next());
    if (pass.ending || Stopping()) return;  // the subscribers stay due for the next run
    MessageJob next = std::move(pass.retry.front());
    pass.retry.pop_front();
    sessions.Start(std::move(next));
    while (std::optional<FinishedMessage> finished = sessions.TryNext()) Take(pass, *finished);
  }
}

void EventScheduler::Take(PassState& pass, const FinishedMessage& finished) {
  if (RefusedExtraConnection(pass, finished.result)) {
    pass.retry.push_back(finished.job);
    return;
  }
  message_.Report(finished.result);
  Record(pass, finished.result, finished.job.subscriberId, finished.job.address);
}

bool EventScheduler::RefusedExtraConnection(PassState& pass, const MessageResult& result) {
  const bool refused = result.connectionRefused;
  const int stillOpen = pass.sessions->InFlight();
  if (!refused || stillOpen == 0 || pass.ending || Stopping()) return false;
  // The relay takes no more connections at once than it has open now: one more is
  // refused (421, or the connection itself), which says nothing about the message.
  if (stillOpen < pass.ceiling) {
    TracePop("frmProcess/ProcessEvents: the SMTP server refused a connection while " + std::to_string(stillOpen) +
                 " were open (" + PrintableText(result.reason) + "); at most " + std::to_string(stillOpen) +
                 " sessions are used",
             true);
    pass.ceiling = stillOpen;
  }
  pass.window = std::min(pass.window, pass.ceiling);
  return true;
}

void EventScheduler::Settle(PassState& pass) {
  SessionPool& sessions = *pass.sessions;
  for (;;) {
    if (!pass.retry.empty() && !pass.ending && !Stopping()) {
      MessageJob next = std::move(pass.retry.front());
      pass.retry.pop_front();
      Hand(pass, std::move(next));
      continue;
    }
    if (sessions.InFlight() == 0) break;
    Take(pass, sessions.Next());
  }
  // Messages left waiting for a session when the pass ends stay due, like any not tried.
  pass.retry.clear();
}

void EventScheduler::SettleAfterError(PassState& pass) {
  // A message the server took and nobody marked would go again: each one still gets its
  // chance to be recorded, whatever became of the one before.
  while (pass.sessions->InFlight() > 0) {
    const FinishedMessage finished = pass.sessions->Next();
    try {
      Take(pass, finished);
    } catch (const std::exception& e) {
      TracePop("frmProcess/ProcessEvents: the message to " + PrintableText(finished.job.address) +
                   " could not be recorded: " + e.what(),
               true);
    }
  }
}

void EventScheduler::Record(PassState& pass, const MessageResult& result, const Value& subscriberId,
                            const std::string& address) {
  const MessageOutcome outcome = result.outcome;
  pass.window = outcome == MessageOutcome::ServerFailed ? std::max(1, pass.window / 2)
                                                        : std::min(pass.ceiling, pass.window + 1);
  if (CountsAsDone(outcome)) {
    ctx_.LogStatus("Sent event email to: " + address + " for event " + pass.eventName);
    if (outcome == MessageOutcome::Sent) ++ctx_.emailsSent;
    Mark(pass, subscriberId, pass.eventId);
    pass.serverFailuresInRow = 0;
    return;
  }
  pass.failed.insert(subscriberId.AsInteger());
  if (outcome != MessageOutcome::ServerFailed) {
    pass.serverFailuresInRow = 0;
    return;
  }
  if (++pass.serverFailuresInRow < kServerFailuresEndingPass || pass.ending) return;
  pass.ending = true;
  // A server that failed this often will most likely fail the next subscriber too, and
  // each try may cost a full time-out: the rest stays due for the next run.
  const std::string why = "the SMTP server failed " + std::to_string(kServerFailuresEndingPass) +
                          " sessions in a row; the remaining messages stay due for the next run";
  ctx_.LogStatus("Error: " + why);
  TracePop("frmProcess/ProcessEvents: autoresponder " + std::to_string(pass.autoresponderId) + ": " + why, true);
  // A refused password or a refused sender keeps the status that says so.
  using Failure = MessageResult::Failure;
  if (result.failure != Failure::Authentication && result.failure != Failure::SessionRefused &&
      result.failure != Failure::MessageRefused)
    ctx_.SetLastAutoresponderStatus(kStatusConnectionFailed);
}

void EventScheduler::ProbeWritable(PassState& pass, const Value& subscriberId) {
  // The row is written as it stands: a file that cannot take the mark of the first message
  // (a full disk, a read-only file, a lock held past the time-out) is found before that
  // message goes, rather than after it went and again at every run.
  try {
    ctx_.subscribers->Execute("update " + SubscriberTable(pass.autoresponderId) +
                                  " set LastAutoresponderEventID=LastAutoresponderEventID where SubscriberID=?",
                              {subscriberId});
  } catch (const DbError& e) {
    throw MarkNotWritten(std::string("the subscriber table cannot be written: ") + e.what());
  }
  pass.writable = true;
}

void EventScheduler::Mark(const PassState& pass, const Value& subscriberId, const Value& eventId) {
  try {
    pass.write([&] {
      ctx_.subscribers->Execute("update " + SubscriberTable(pass.autoresponderId) +
                                    " set TempLastEventSentTime=now(), LastAutoresponderEventID=? where SubscriberID=?",
                                {eventId, subscriberId});
    });
  } catch (const DbError& e) {
    throw MarkNotWritten("the message of event " + eventId.AsText() + " to subscriber " + subscriberId.AsText() +
                         " could not be recorded: " + e.what());
  }
}

}  // namespace ar
