#include "processor/EventScheduler.h"

#include "store/Schema.h"
#include "store/Trace.h"

namespace ar {
namespace {
// Due subscribers are read in pages by key, so that a list of any size is held in
// memory a page at a time.
constexpr int kPageSize = 500;

// Switches a connection to writes that skip the disk flush, and back to full flushes when
// it goes, whatever happened.
class DurabilityGuard {
 public:
  explicit DurabilityGuard(Connection& c) : c_(c) { c_.Execute("PRAGMA synchronous=NORMAL"); }
  ~DurabilityGuard() {
    try {
      Restore();
    } catch (const std::exception&) {
    }
  }
  void Restore() {
    if (restored_) return;
    restored_ = true;
    c_.Execute("PRAGMA synchronous=FULL");
  }

 private:
  Connection& c_;
  bool restored_ = false;
};
}  // namespace

void EventScheduler::ProcessEvents(int64_t autoresponderId, const std::string& smtpServer,
                                   const std::string& smtpUserName, const std::string& smtpPassword, bool smtpTls,
                                   bool immediatePass) {
  try {
    RowSet config = ctx_.config->Query("select HELOName,EnablePreflight from tblConfiguration");
    SmtpSettings settings{smtpServer, smtpUserName, smtpPassword, smtpTls,
                          config.Eof() ? std::string() : NullToDefault(config.Field("HELOName"), "")};

    const char* events =
        immediatePass ? "select * from tblAutoresponderEvents where Active<>0 AND AutoresponderID=? AND EventInterval=0"
                        " ORDER BY AutoresponderEventID"
                      : "select * from tblAutoresponderEvents where Active<>0 AND AutoresponderID=? AND EventInterval<>0"
                        " ORDER BY EventInterval,AutoresponderEventID";
    // The staged marks of a pass are written without waiting for the disk each time (an
    // application crash still loses none of them); the commit of the pass waits for the
    // disk and so makes every staged mark before it durable as well.
    DurabilityGuard durability(*ctx_.subscribers);
    for (RowSet event = ctx_.config->Query(events, {Value(autoresponderId)}); !event.Eof(); event.MoveNext())
      SendEvent(autoresponderId, event, settings);

    durability.Restore();
    ctx_.subscribers->Execute("update " + SubscriberTable(autoresponderId) +
                              " set LastEventSentTime=TempLastEventSentTime,TempLastEventSentTime=NULL"
                              " where TempLastEventSentTime IS NOT NULL");
  } catch (const std::exception& e) {
    TracePop(std::string("frmProcess/ProcessEvents: ") + e.what(), true);
  }
}

void EventScheduler::SendEvent(int64_t autoresponderId, const RowSet& event, const SmtpSettings& settings) {
  const std::string table = SubscriberTable(autoresponderId);
  const Value interval = event.Field("EventInterval").AsInteger();
  const Value eventId = event.Field("AutoresponderEventID").AsInteger();
  const std::string eventName = NullToDefault(event.Field("EventName"), "");
  const std::string due =
      "select SubscriberID, EmailAddress from " + table +
      " where (((int(LastEventSentTime)-int(AddedDate))<?) or (LastEventSentTime IS NULL))"
      " and ((int(now())-int(AddedDate))>=?) and (UnsubscribeDate IS NULL) and SubscriberID>?"
      " ORDER BY SubscriberID LIMIT " + std::to_string(kPageSize);
  const std::string mark = "update " + table + " set TempLastEventSentTime=now(), LastAutoresponderEventID=? where SubscriberID=?";

  Value after = 0LL;
  for (;;) {
    RowSet page = ctx_.subscribers->Query(due, {interval, interval, after});
    if (page.Eof()) break;
    for (; !page.Eof(); page.MoveNext()) {
      after = page.Field("SubscriberID");
      const Value& address = page.Field("EmailAddress");
      if (address.IsNull()) {
        // A row without an address cannot be sent to; it must not hold up the others.
        TracePop("frmProcess/ProcessEvents: subscriber " + after.AsText() + " of autoresponder " +
                     std::to_string(autoresponderId) + " has no address",
                 true);
        continue;
      }
      if (message_.SendEventMessage(address.AsText(), event, settings)) continue;
      ctx_.LogStatus("Sent event email to: " + address.AsText() + " for event " + eventName);
      ctx_.subscribers->Execute(mark, {eventId, after});
    }
    if (page.Count() < static_cast<size_t>(kPageSize)) break;
  }
}

}  // namespace ar
