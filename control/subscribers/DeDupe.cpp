#include "control/subscribers/DeDupe.h"

#include "store/Schema.h"

namespace ar {
namespace {

// Keys per write transaction: a fraction of a second's work on a large list.
constexpr int64_t kKeysPerStep = 50000;

}  // namespace

void DeDupe(Connection& subscribers, int64_t autoresponderId, const std::function<void()>& between) {
  const std::string table = SubscriberTable(autoresponderId);
  // tblDeDupe is the scratch table that databases of every version carry for this work.
  // The rows are now judged in place, a range of keys at a time, so the table is no longer
  // filled; it stays in the schema because older databases and tools expect it, and it is
  // emptied before and after, so that whatever an older version left there goes.
  subscribers.Execute("delete from tblDeDupe");
  const Value first = subscribers.Scalar("select min(SubscriberID) from " + table);
  const Value last = subscribers.Scalar("select max(SubscriberID) from " + table);
  // A row goes when it has no address or when a row with a lower key holds the same
  // address; the address index (folding letter case) finds that row. The row kept for
  // an address is never deleted, so each range can be judged on its own.
  const std::string remove = "delete from " + table + " where SubscriberID between ? and ? and (EmailAddress IS NULL" +
                             " OR EmailAddress='' OR EXISTS (select 1 from " + table + " as kept" +
                             " where kept.EmailAddress=" + table + ".EmailAddress and kept.SubscriberID<" + table +
                             ".SubscriberID))";
  if (!first.IsNull()) {
    for (int64_t from = first.AsInteger(); from <= last.AsInteger(); from += kKeysPerStep) {
      subscribers.Execute(remove, {from, from + kKeysPerStep - 1});
      if (between) between();
    }
  }
  subscribers.Execute("delete from tblDeDupe");
}

}  // namespace ar
