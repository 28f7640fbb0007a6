// The autoresponder list's rows and operations without a window, over databases made
// from the schema.
#include "control/autoresponders/AutoresponderList.h"
#include "control/settings/BlackoutDays.h"

#include "base/Trace.h"
#include "store/DataFolder.h"
#include "store/Schema.h"
#include "tests/support/ClockGuard.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestData.h"
#include "tests/support/TestDatabases.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ar::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(AutoresponderSchedule, FollowsActiveAndTimeOfDay) {
  struct Case {
    Value active, time;
    std::string shown;
  };
  for (const Case& c : {Case{kYes, "9:00am", "9:00am"}, Case{kYes, "", "Run next cycle"},
                        Case{kYes, Null{}, "Run next cycle"}, Case{kNo, "9:00am", "Not Active"},
                        Case{Null{}, "", "Not Active"}, Case{1, "2:30pm", "2:30pm"}}) {
    EXPECT_EQ(ScheduleText(c.active, c.time), c.shown) << c.shown;
  }
}

class AutoresponderRows : public ::testing::Test {
 protected:
  AutoresponderRows() { SetTraceFile(db.Folder() + "/debug/trace.log"); }
  ~AutoresponderRows() override { SetTraceFile(""); }
  void AddSubscribers(int64_t id, int count) {
    for (int i = 0; i < count; ++i) test::InsertSubscriber(db.Subscribers(), id, {{"EmailAddress", "a@example.com"}});
  }
  std::vector<std::string> Column(int column) {
    std::vector<std::string> texts;
    for (size_t i = 0; i < list.Size(); ++i) texts.push_back(list.Text(i, column));
    return texts;
  }
  std::string Trace() {
    const std::string path = db.Folder() + "/debug/trace.log";
    return FileExists(path) ? ReadWholeFile(path) : "";
  }

  TestDatabases db;
  AutoresponderList list{db.Config(), db.Subscribers()};
};

TEST_F(AutoresponderRows, CountsOnlyTheRowsAskedForAndShowsAFailedCountEmpty) {
  const int64_t nine = db.AddAutoresponder("Nine", true);
  const int64_t broken = db.AddAutoresponder("Broken", true);
  AddSubscribers(nine, 9);
  DropSubscriberTable(db.Subscribers(), broken);
  list.Reload();

  // Only a row that is asked for is counted: the broken one is never touched here.
  EXPECT_EQ(list.SubscriberText(*list.IndexOf(nine)), "9");
  EXPECT_EQ(Trace(), "");

  EXPECT_EQ(list.SubscriberText(*list.IndexOf(broken)), "");
  EXPECT_EQ(list.SubscriberText(*list.IndexOf(broken)), "") << "asked again: still once per reload";
  const std::string trace = Trace();
  EXPECT_THAT(trace, HasSubstr("no such table"));
  EXPECT_EQ(trace.find("no such table"), trace.rfind("no such table"));

  // A reload counts afresh.
  AddSubscribers(nine, 1);
  EXPECT_EQ(list.SubscriberText(*list.IndexOf(nine)), "9");
  list.Reload();
  EXPECT_EQ(list.SubscriberText(*list.IndexOf(nine)), "10");
}

TEST_F(AutoresponderRows, SortsByAnyColumnAndKeepsTheOrderAcrossReloads) {
  const int64_t a = db.AddAutoresponder("beta", true);
  const int64_t b = db.AddAutoresponder("Alpha", false);
  const int64_t c = db.AddAutoresponder("gamma", true);
  AddSubscribers(a, 10);
  AddSubscribers(b, 9);
  list.Reload();
  EXPECT_THAT(Column(kColumnName), ElementsAre("beta", "Alpha", "gamma")) << "as stored until sorted";

  list.Sort(kColumnName, false);
  EXPECT_THAT(Column(kColumnName), ElementsAre("Alpha", "beta", "gamma"));
  list.Sort(kColumnSubscribers, true);
  EXPECT_THAT(Column(kColumnSubscribers), ElementsAre("10", "9", "0")) << "numbers compare as numbers";
  list.Sort(kColumnID, true);
  EXPECT_THAT(Column(kColumnID), ElementsAre(std::to_string(c), std::to_string(b), std::to_string(a)));
  list.Sort(kColumnSchedule, false);
  EXPECT_THAT(Column(kColumnSchedule), ElementsAre("Not Active", "Run next cycle", "Run next cycle"));

  db.AddAutoresponder("Aardvark", true);
  list.Sort(kColumnName, false);
  list.Reload();
  EXPECT_THAT(Column(kColumnName), ElementsAre("Aardvark", "Alpha", "beta", "gamma"));
}

TEST_F(AutoresponderRows, OperationsOnAnAutoresponderThatIsGoneFail) {
  const int64_t id = db.AddAutoresponder("Gone", true);
  db.Config().Execute("delete from tblAutoresponders");
  EXPECT_THROW(AutoresponderNameOf(db.Config(), id), std::runtime_error);
  EXPECT_THROW(CopyAutoresponderRow(db.Config(), id, "Copy"), std::runtime_error);
  EXPECT_THROW(RenameAutoresponder(db.Config(), id, "Renamed"), std::runtime_error);
  EXPECT_EQ(db.Config().Scalar("select count(*) from tblAutoresponders").AsInteger(), 0);
}

TEST(BlackoutDayDates, TheTimeOfDayNeverCounts) {
  ClockGuard clock(Day(2026, 3, 2, 23, 59, 30));
  TestDatabases db;
  EXPECT_FALSE(BlackoutDayToday(db.Config()));
  db.Config().Execute("insert into tblBlackoutDays (BlackoutDay, BlackoutDescription) values (?, 'x')",
                      {Day(2026, 3, 2, 6, 0)});
  EXPECT_TRUE(BlackoutDayToday(db.Config()));

  EXPECT_FALSE(AddBlackoutDay(db.Config(), Day(2026, 3, 2, 18, 0), "again")) << "same date, other time";
  EXPECT_TRUE(AddBlackoutDay(db.Config(), Day(2026, 3, 3, 18, 0), "next"));
  const std::vector<BlackoutDay> days = LoadBlackoutDays(db.Config());
  ASSERT_EQ(days.size(), 2u);
  EXPECT_EQ(days[1].day, Day(2026, 3, 3)) << "stored without its time";
  EXPECT_EQ(BlackoutEntryText(days[1]), "03/03/2026 - next");

  SetClock(Day(2026, 3, 4, 0, 0, 1));
  EXPECT_FALSE(BlackoutDayToday(db.Config()));
}

}  // namespace
}  // namespace ar::test
