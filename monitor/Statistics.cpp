#include "monitor/Statistics.h"

#include "base/Clock.h"
#include "store/Schema.h"
#include "store/Value.h"

#include <exception>
#include <vector>

namespace ar {
namespace {

int64_t CountLast24Hours(Connection& config, Connection& subscribers, TrapLines& traps, const char* label,
                         const char* column) {
  std::vector<std::string> errors;
  int64_t total = 0;
  try {
    // "Now-1" is bound once: a now() in the condition would be called for every row, and
    // one moment for the whole figure is what it means anyway.
    const double since = NowDays() - 1;
    RowSet autoresponders = config.Query("select * from tblAutoresponders");
    for (; !autoresponders.Eof(); autoresponders.MoveNext()) {
      try {
        const std::string table = SubscriberTable(autoresponders.Field("AutoresponderID").AsInteger());
        total += NullToDefault(subscribers.Scalar("select count(SubscriberID) as TheCount from " + table + " where " +
                                                      column + ">?",
                                                  {since}),
                               int64_t{0});
      } catch (const std::exception& e) {
        errors.push_back(e.what());
      }
    }
  } catch (const std::exception& e) {
    errors.push_back(e.what());
    total = 0;
  }
  traps.Report(label, errors);
  return total;
}

}  // namespace

int64_t EmailsSentLast24Hours(Connection& config, Connection& subscribers, TrapLines& traps) {
  return CountLast24Hours(config, subscribers, traps, "frmProjectList/EmailsSentLast24Hours: ", "LastEventSentTime");
}

int64_t NewSubscribersLast24Hours(Connection& config, Connection& subscribers, TrapLines& traps) {
  return CountLast24Hours(config, subscribers, traps, "frmProjectList/NewSubscribersLast24Hours: ", "AddedDate");
}

int64_t NumberUnSubscribesLast24Hours(Connection& config, Connection& subscribers, TrapLines& traps) {
  return CountLast24Hours(config, subscribers, traps, "frmProjectList/NumberUnSubscribesLast24Hours: ",
                          "UnsubscribeDate");
}

std::string ActiveAutoresponderCount(Connection& config) {
  return NullToDefault(config.Scalar("select -Sum(Active) as TheActiveCount from tblAutoresponders"), "0");
}

}  // namespace ar
