#include "processor/EventScheduler.h"

#include "processor/Addresses.h"
#include "processor/EventPreflight.h"
#include "store/Schema.h"
#include "store/Text.h"
#include "store/Trace.h"

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

// "?,?,?" for n parameters.
std::string Placeholders(std::size_t n) {
  std::string text;
  for (std::size_t i = 0; i < n; ++i) text += i == 0 ? "?" : ",?";
  return text;
}

}  // namespace

PassEnd EventScheduler::ProcessEvents(int64_t autoresponderId, const std::string& smtpServer,
                                      const std::string& smtpUserName, const std::string& smtpPassword, bool smtpTls,
                                      bool immediatePass) {
  try {
    // Every column, so that a database from before the SMTPSessions column still runs.
    RowSet config = ctx_.config->Query("select * from tblConfiguration");
    SmtpSettings settings{smtpServer, smtpUserName, smtpPassword, smtpTls,
                          config.Eof() ? std::string() : NullToDefault(config.Field("HELOName"), "")};
    SessionPool sessions(SmtpSessionsSetting(config), *ctx_.socket, ctx_.newSocket,
                         [this, &settings](const MessageJob& job, Socket& socket, const TraceFunction& trace) {
                           return message_.Send(*job.content, job.address, settings, socket, trace);
                         });

    SettleOrphans(autoresponderId);
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
    pass.write = [&durability](const std::function<void()>& write) { durability.Write(write); };
    for (RowSet scan = event; !scan.Eof(); scan.MoveNext())
      pass.order.push_back({scan.Field("AutoresponderEventID").AsInteger(), scan.Field("EventInterval").AsInteger()});

    // With EnablePreflight on, an event that fails the check ends the pass unsent.
    const bool preflight = !config.Eof() && NullToDefault(config.Field("EnablePreflight"), false);
    PassEnd end = PassEnd::Completed;
    for (std::size_t position = 0; !event.Eof() && end == PassEnd::Completed; event.MoveNext(), ++position)
      end = preflight && !EventPassesPreflight(ctx_, event) ? PassEnd::Error : SendEvent(pass, position, event);

    durability.Restore();
    Commit(pass);
    return end;
  } catch (const std::exception& e) {
    TracePop(std::string("frmProcess/ProcessEvents: ") + e.what(), true);
    return PassEnd::Error;
  }
}

void EventScheduler::SettleOrphans(int64_t autoresponderId) {
  RowSet active = ctx_.config->Query(
      "select AutoresponderEventID from tblAutoresponderEvents where Active<>0 AND AutoresponderID=?",
      {Value(autoresponderId)});
  Params ids;
  for (; !active.Eof(); active.MoveNext()) ids.push_back(active.Field("AutoresponderEventID"));
  const std::string notActive =
      ids.empty() ? "" : " or LastAutoresponderEventID NOT IN (" + Placeholders(ids.size()) + ")";
  ctx_.subscribers->Execute("update " + SubscriberTable(autoresponderId) +
                                " set LastEventSentTime=TempLastEventSentTime,TempLastEventSentTime=NULL"
                                " where TempLastEventSentTime IS NOT NULL and (LastAutoresponderEventID IS NULL" +
                                notActive + ")",
                            ids);
}

void EventScheduler::Commit(const PassState& pass) {
  if (pass.order.empty()) return;
  // A row staged at an event is committed when the next event of the pass is not yet due
  // to it by its age (so committing hides nothing), when that was the pass's last event,
  // or when the subscriber has left. Rows staged by the other pass are left to it.
  std::string nextInterval = "CASE LastAutoresponderEventID";
  Params params;
  for (std::size_t p = 0; p < pass.order.size(); ++p) {
    nextInterval += " WHEN ? THEN ?";
    params.push_back(pass.order[p].id);
    params.push_back(p + 1 < pass.order.size() ? pass.order[p + 1].interval : Value(static_cast<long long>(INT32_MAX)));
  }
  nextInterval += " ELSE -1 END";
  ctx_.subscribers->Execute("update " + SubscriberTable(pass.autoresponderId) +
                                " set LastEventSentTime=TempLastEventSentTime,TempLastEventSentTime=NULL"
                                " where TempLastEventSentTime IS NOT NULL and (UnsubscribeDate IS NOT NULL"
                                " or (int(now())-int(AddedDate))<(" + nextInterval + "))",
                            params);
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

  // A row staged in this pass, or by an interrupted pass of the same kind, is due only
  // for the events after the one it got last.
  Params earlier;
  for (std::size_t p = 0; p < position; ++p) earlier.push_back(pass.order[p].id);
  const std::string notYetSent = earlier.empty() ? " and TempLastEventSentTime IS NULL"
                                                 : " and (TempLastEventSentTime IS NULL or LastAutoresponderEventID IN (" +
                                                       Placeholders(earlier.size()) + "))";
  const std::string due =
      "select SubscriberID, EmailAddress from " + SubscriberTable(autoresponderId) +
      " where (((int(LastEventSentTime)-int(AddedDate))<?) or (LastEventSentTime IS NULL))"
      " and ((int(now())-int(AddedDate))>=?) and (UnsubscribeDate IS NULL) and SubscriberID>?" +
      notYetSent + " ORDER BY SubscriberID LIMIT " + std::to_string(kPageSize);

  std::shared_ptr<const EventContent> content;
  Value after = 0LL;
  for (;;) {
    Params params{interval, interval, after};
    params.insert(params.end(), earlier.begin(), earlier.end());
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
      Hand(pass, {after, stored, content});
      if (pass.ending) return PassEnd::ServerFailed;
    }
    if (page.Count() < static_cast<size_t>(kPageSize)) break;
  }
  return PassEnd::Completed;
}

void EventScheduler::Hand(PassState& pass, MessageJob job) {
  SessionPool& sessions = *pass.sessions;
  while (sessions.InFlight() >= pass.window) Take(pass, sessions.Next());
  if (pass.ending || Stopping()) return;  // the subscriber stays due for the next run
  sessions.Start(std::move(job));
  while (std::optional<FinishedMessage> finished = sessions.TryNext()) Take(pass, *finished);
}

void EventScheduler::Take(PassState& pass, const FinishedMessage& finished) {
  message_.Report(finished.result);
  Record(pass, finished.result, finished.job.subscriberId, finished.job.address);
}

void EventScheduler::Settle(PassState& pass) {
  while (pass.sessions->InFlight() > 0) Take(pass, pass.sessions->Next());
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
                                                        : std::min(pass.sessions->Sessions(), pass.window + 1);
  if (CountsAsDone(outcome)) {
    ctx_.LogStatus("Sent event email to: " + address + " for event " + pass.eventName);
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
  if (result.failure != MessageResult::Failure::Authentication)
    ctx_.SetLastAutoresponderStatus(kStatusConnectionFailed);
}

void EventScheduler::Mark(const PassState& pass, const Value& subscriberId, const Value& eventId) {
  pass.write([&] {
    ctx_.subscribers->Execute("update " + SubscriberTable(pass.autoresponderId) +
                                  " set TempLastEventSentTime=now(), LastAutoresponderEventID=? where SubscriberID=?",
                              {eventId, subscriberId});
  });
}

}  // namespace ar
