#pragma once
// What the monitor's tests share: a data folder with both databases, the trace file in
// its debug folder, the clock fixed, and subscriber rows placed in time around it.
#include "base/Trace.h"
#include "store/Value.h"
#include "tests/support/ClockGuard.h"
#include "tests/support/TestData.h"
#include "tests/support/TestDatabases.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace ar::test {

inline const double kNow = Day(2026, 3, 14, 15, 30, 0);

class MonitorData {
 public:
  MonitorData() { SetTraceFile(db.Folder() + "/debug/trace.log"); }
  ~MonitorData() { SetTraceFile(""); }

  // A subscriber row with its three dates as days before now (Null where not given).
  void AddSubscriber(int64_t autoresponder, Value addedDaysAgo, Value sentDaysAgo = {}, Value unsubscribedDaysAgo = {}) {
    auto at = [](const Value& ago) { return ago.IsNull() ? Value() : Value(kNow - ago.AsReal()); };
    test::InsertSubscriber(db.Subscribers(), autoresponder,
                           {{"EmailAddress", "someone@example.com"}, {"AddedDate", at(addedDaysAgo)},
                            {"LastEventSentTime", at(sentDaysAgo)}, {"UnsubscribeDate", at(unsubscribedDaysAgo)}});
  }
  // An autoresponder row without its subscriber table.
  int64_t AddAutoresponderWithoutTable(const std::string& name) {
    db.Config().Execute("insert into tblAutoresponders (AutoresponderName, Active) values (?, -1)", {name});
    return db.Config().LastInsertId();
  }
  std::string Trace() const { return ReadWholeFile(db.Folder() + "/debug/trace.log"); }
  size_t TraceLinesWith(const std::string& text) const {
    const std::string trace = Trace();
    size_t n = 0;
    for (size_t at = trace.find(text); at != std::string::npos; at = trace.find(text, at + 1)) ++n;
    return n;
  }

  TestDatabases db;
  ClockGuard clock{kNow};
};

}  // namespace ar::test
