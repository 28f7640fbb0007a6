// The figures of the monitor over prepared databases: every autoresponder counts, active
// or not; the 24 hours end strictly at now less one day; a table that cannot be counted
// adds nothing and is traced once while it lasts.
#include "monitor/Statistics.h"
#include "store/Schema.h"
#include "tests/monitor/MonitorData.h"

#include <functional>
#include <gtest/gtest.h>

namespace ar {
namespace {

using test::MonitorData;

struct Figures {
  int64_t sent, added, unsubscribed;
  std::string active;
  bool operator==(const Figures&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Figures& f) {
  return os << "sent " << f.sent << ", added " << f.added << ", unsubscribed " << f.unsubscribed << ", active "
            << f.active;
}

Figures Compute(MonitorData& data, TrapLines& traps) {
  Connection& config = data.db.Config();
  Connection& subscribers = data.db.Subscribers();
  return {EmailsSentLast24Hours(config, subscribers, traps), NewSubscribersLast24Hours(config, subscribers, traps),
          NumberUnSubscribesLast24Hours(config, subscribers, traps), ActiveAutoresponderCount(config)};
}

const char* const kFigureTraps[] = {"frmProjectList/EmailsSentLast24Hours: ",
                                    "frmProjectList/NewSubscribersLast24Hours: ",
                                    "frmProjectList/NumberUnSubscribesLast24Hours: "};

TEST(Statistics, FiguresOverPreparedDatabases) {
  struct Case {
    const char* name;
    std::function<void(MonitorData&)> prepare;
    Figures expected;
    bool tableErrorTraced;
  };
  const Case cases[] = {
      {"no autoresponders", [](MonitorData&) {}, {0, 0, 0, "0"}, false},
      {"a missing subscriber table", [](MonitorData& d) { d.AddAutoresponderWithoutTable("lost"); }, {0, 0, 0, "1"},
       true},
      {"three active and two inactive, all counted",
       [](MonitorData& d) {
         const int64_t a1 = d.db.AddAutoresponder("a1", true);
         const int64_t a2 = d.db.AddAutoresponder("a2", true);
         d.db.AddAutoresponder("a3", true);
         const int64_t i1 = d.db.AddAutoresponder("i1", false);
         const int64_t i2 = d.db.AddAutoresponder("i2", false);
         d.AddSubscriber(a1, 0.25, 0.1);
         d.AddSubscriber(a1, 3, 0.9, 0.5);
         d.AddSubscriber(a1, 3, 1.0, 2);  // sent exactly one day ago: outside the 24 hours
         d.AddSubscriber(a2, 0.5);
         d.AddSubscriber(i1, 0.2, 0.2, 0.1);
         d.AddSubscriber(i2, 5, 5);
       },
       {3, 3, 2, "3"}, false},
      {"a missing table among counted ones",
       [](MonitorData& d) {
         const int64_t a1 = d.db.AddAutoresponder("a1", true);
         d.AddSubscriber(a1, 0.5, 0.5, 0.5);
         d.AddAutoresponderWithoutTable("lost");
         d.AddSubscriber(d.db.AddAutoresponder("a3", false), 0.1, 0.1);
       },
       {2, 2, 1, "2"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MonitorData data;
    c.prepare(data);
    TrapLines traps;
    EXPECT_EQ(Compute(data, traps), c.expected);
    for (const char* trap : kFigureTraps)
      EXPECT_EQ(data.TraceLinesWith(std::string(trap) + "select count(SubscriberID) as TheCount from ["),
                c.tableErrorTraced ? 1u : 0u)
          << trap << "\n" << data.Trace();
    if (c.tableErrorTraced) {
      EXPECT_NE(data.Trace().find("no such table"), std::string::npos) << data.Trace();
    }
  }
}

TEST(Statistics, ALastingFailureIsTracedOnceAndAgainAfterItWasMended) {
  MonitorData data;
  const int64_t id = data.AddAutoresponderWithoutTable("lost");
  TrapLines traps;
  const std::string line = std::string(kFigureTraps[0]) + "select count";
  for (int pass = 0; pass < 3; ++pass) EmailsSentLast24Hours(data.db.Config(), data.db.Subscribers(), traps);
  EXPECT_EQ(data.TraceLinesWith(line), 1u);

  CreateSubscriberTable(data.db.Subscribers(), id);
  EXPECT_EQ(EmailsSentLast24Hours(data.db.Config(), data.db.Subscribers(), traps), 0);
  DropSubscriberTable(data.db.Subscribers(), id);
  EmailsSentLast24Hours(data.db.Config(), data.db.Subscribers(), traps);
  EXPECT_EQ(data.TraceLinesWith(line), 2u);
}

TEST(Statistics, AnUnreadableAutoresponderListMakesEveryFigureZero) {
  MonitorData data;
  data.AddSubscriber(data.db.AddAutoresponder("a1", true), 0.5, 0.5, 0.5);
  data.db.Config().Execute("alter table tblAutoresponders rename to tblGone");
  TrapLines traps;
  EXPECT_EQ(EmailsSentLast24Hours(data.db.Config(), data.db.Subscribers(), traps), 0);
  EXPECT_EQ(data.TraceLinesWith(std::string(kFigureTraps[0]) + "select * from tblAutoresponders"), 1u) << data.Trace();
  EXPECT_THROW(ActiveAutoresponderCount(data.db.Config()), DbError);
}

}  // namespace
}  // namespace ar
