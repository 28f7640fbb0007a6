// The statement forms the system relies on, with their meaning on the stored files.
#include "store/Schema.h"
#include "tests/support/ClockGuard.h"
#include "tests/support/TestDatabases.h"

#include <gtest/gtest.h>

namespace ar {
namespace {

using test::Day;

class Dialect : public ::testing::Test {
 protected:
  test::TestDatabases db;
};

TEST_F(Dialect, IntGivesCalendarDaysAcrossMidnight) {
  CreateSubscriberTable(db.Subscribers(), 7);
  db.Subscribers().Execute("insert into [7] (EmailAddress, AddedDate, LastEventSentTime) values (?,?,?)",
                           {"a@example.com", Day(2026, 1, 1, 23, 59), Day(2026, 1, 2, 0, 1)});
  EXPECT_EQ(db.Subscribers().Scalar("select int(LastEventSentTime)-int(AddedDate) from [7]").AsInteger(), 1);
  test::ClockGuard clock(Day(2026, 1, 2, 0, 1));
  EXPECT_EQ(db.Subscribers().Scalar("select int(now())-int(AddedDate) from [7]").AsInteger(), 1);
}

TEST_F(Dialect, NegatedSumOfActiveCountsTrueRows) {
  for (int i = 0; i < 5; ++i) db.AddAutoresponder("r" + std::to_string(i), i < 3);
  EXPECT_EQ(db.Config().Scalar("select -Sum(Active) as TheActiveCount from tblAutoresponders").AsInteger(), 3);
  EXPECT_EQ(db.Config().Scalar("select count(AutoresponderID) as TheCount from tblAutoresponders").AsInteger(), 5);
  RowSet rs = db.Config().Query("select Active from tblAutoresponders where Active<>0");
  ASSERT_EQ(rs.Count(), 3u);
  EXPECT_EQ(rs.Field("active").AsInteger(), -1);  // field names ignore letter case
}

TEST_F(Dialect, BlackoutDayStoredWithATimeOfDayMatchesToday) {
  db.Config().Execute("insert into tblBlackoutDays (BlackoutDay, BlackoutDescription) values (?, 'x')",
                      {Day(2026, 12, 24, 17, 45)});
  const char* today = "select * from tblBlackoutDays where yyyymmdd(BlackoutDay)=yyyymmdd(now())";
  {
    test::ClockGuard clock(Day(2026, 12, 24, 8, 0));
    EXPECT_EQ(db.Config().Query(today).Count(), 1u);
  }
  {
    test::ClockGuard clock(Day(2026, 12, 25, 0, 0, 1));
    EXPECT_EQ(db.Config().Query(today).Count(), 0u);
    db.Config().Execute("delete from tblBlackoutDays where yyyymmdd(BlackoutDay)<yyyymmdd(now())");
    EXPECT_EQ(db.Config().Query("select * from tblBlackoutDays").Count(), 0u);
  }
}

TEST_F(Dialect, AddedDateDefaultsToTheProcessClock) {
  test::ClockGuard clock(Day(2026, 5, 6, 7, 8, 9));
  CreateSubscriberTable(db.Subscribers(), 12);
  db.Subscribers().Execute("insert into [12] (EmailAddress) values (?)", {"new@example.com"});
  EXPECT_DOUBLE_EQ(db.Subscribers().Scalar("select AddedDate from [12]").AsReal(), Day(2026, 5, 6, 7, 8, 9));
  // The last-24-hours forms see it; a day later they do not.
  const char* recent = "select count(SubscriberID) as TheCount from [12] where AddedDate>(now()-1)";
  EXPECT_EQ(db.Subscribers().Scalar(recent).AsInteger(), 1);
  SetClock(Day(2026, 5, 7, 7, 8, 10));
  EXPECT_EQ(db.Subscribers().Scalar(recent).AsInteger(), 0);
}

TEST_F(Dialect, QuotesInValuesSelectExactlyTheirRowAndCaseIsIgnored) {
  CreateSubscriberTable(db.Subscribers(), 3);
  for (const char* a : {"o'brien@example.com", "obrien@example.com", "x' OR '1'='1"})
    db.Subscribers().Execute("insert into [3] (EmailAddress) values (?)", {a});
  const char* find = "select * from [3] where EmailAddress=?";
  EXPECT_EQ(db.Subscribers().Query(find, {"O'Brien@Example.com"}).Count(), 1u);
  EXPECT_EQ(db.Subscribers().Query(find, {"x' OR '1'='1"}).Count(), 1u);
  EXPECT_EQ(db.Subscribers().Query(find, {"' OR ''='"}).Count(), 0u);

  const int64_t id = db.AddAutoresponder("Ann's list", true);
  EXPECT_EQ(db.Config().Scalar("select AutoresponderID from tblAutoresponders where AutoresponderName=?", {"ANN'S LIST"})
                .AsInteger(),
            id);
}

TEST_F(Dialect, SubscriberTablesAreCreatedSideBySideAndDroppedHarmlessly) {
  CreateSubscriberTable(db.Subscribers(), 7);
  CreateSubscriberTable(db.Subscribers(), 12);  // a second table gets its own index
  db.Subscribers().Execute("insert into [12] (EmailAddress) values ('')");  // the empty text is storable
  EXPECT_THROW(db.Subscribers().Execute("insert into [12] (EmailAddress) values (?)", {std::string(101, 'a')}), DbError);
  RowSet row = db.Subscribers().Query("select * from [12]");
  ASSERT_EQ(row.Count(), 1u);
  for (const char* column : {"LastAutoresponderEventID", "UnsubscribeDate", "LastEventSentTime", "TempLastEventSentTime"})
    EXPECT_TRUE(row.Field(column).IsNull()) << column;
  DropSubscriberTable(db.Subscribers(), 12);
  DropSubscriberTable(db.Subscribers(), 12);  // again: harmless
  DropSubscriberTable(db.Subscribers(), 99);
  EXPECT_THROW(db.Subscribers().Query("select * from [12]"), DbError);
  EXPECT_EQ(db.Subscribers().Query("select * from [7]").Count(), 0u);
}

TEST_F(Dialect, InitialRowsAndNullToDefault) {
  EXPECT_EQ(db.Config().Query("select * from tblConfiguration").Count(), 1u);
  EXPECT_EQ(db.Config().Query("select * from tblStatus").Count(), 1u);
  EXPECT_EQ(db.Subscribers().Query("select * from tblDeDupe").Count(), 0u);
  RowSet status = db.Config().Query("select * from tblStatus");
  EXPECT_TRUE(status.Field("LastOstrelRun").IsNull());
  EXPECT_EQ(NullToDefault(status.Field("LastOstrelRun"), 1.5), 1.5);
  EXPECT_EQ(NullToDefault(status.Field("LastSMTPStatus"), true), false);
  EXPECT_THROW(status.Field("LastOstrelRun").AsText(), std::runtime_error);
  EXPECT_THROW(status.Field("NoSuchColumn"), DbError);
}

}  // namespace
}  // namespace ar
