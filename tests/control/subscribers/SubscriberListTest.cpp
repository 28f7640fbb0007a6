// The editor's subscriber list: rows read a page at a time, counts, changes and deletions made elsewhere or here.
#include "control/subscribers/SubscriberList.h"

#include "base/Clock.h"
#include "store/Schema.h"
#include "tests/support/ClockGuard.h"
#include "tests/support/TestDatabases.h"

#include <gtest/gtest.h>

#include <random>

namespace ar::test {
namespace {

class SubscriberListTest : public ::testing::Test {
 protected:
  void SetUp() override { id = db.AddAutoresponder("Course", true); }
  // Rows "s1@example.com" ... in SubscriberID order, with every seventh key left unused.
  void Fill(int rows) {
    db.Subscribers().Execute("BEGIN");
    for (int i = 1, key = 1; i <= rows; ++i, ++key) {
      if (key % 7 == 0) ++key;
      db.Subscribers().Execute("insert into " + SubscriberTable(id) + " (SubscriberID, EmailAddress) values (?, ?)",
                               {key, Address(i)});
    }
    db.Subscribers().Execute("COMMIT");
  }
  static std::string Address(int i) { return "s" + std::to_string(i) + "@example.com"; }
  std::vector<std::string> AllAddresses(SubscriberList& list) {
    std::vector<std::string> all;
    for (int64_t i = 0; i < list.Count(); ++i) all.push_back(list.Row(i).address);
    return all;
  }

  TestDatabases db;
  int64_t id = 0;
};

TEST_F(SubscriberListTest, RowsReadInAnyOrderMatchTheTableInKeyOrder) {
  const int rows = 5 * static_cast<int>(SubscriberList::kPageRows) + 17;
  Fill(rows);
  std::vector<int64_t> forwards, backwards, jumps{rows - 1, rows / 2, rows / 2 - 300, 3 * rows / 4, 0};
  for (int64_t i = 0; i < rows; ++i) forwards.push_back(i);  // each page from the one before
  for (int64_t i = rows - 1; i >= 0; --i) backwards.push_back(i);  // each page from the one after
  std::mt19937 random(7);
  for (int k = 0; k < 300; ++k) jumps.push_back(std::uniform_int_distribution<int64_t>(0, rows - 1)(random));
  for (const auto& order : {forwards, backwards, jumps}) {
    SubscriberList list(db.Subscribers(), db.Config(), id);
    list.Reload();
    ASSERT_EQ(list.Count(), rows);
    // Rows the processor adds after the reload shift nothing, at either end.
    db.Subscribers().Execute("insert into " + SubscriberTable(id) + " (EmailAddress) values ('late@example.com')");
    for (int64_t i : order) ASSERT_EQ(list.Row(i).address, Address(static_cast<int>(i) + 1)) << i;
    EXPECT_EQ(list.Row(rows).id, 0) << "past the end";
    EXPECT_EQ(list.Row(-1).id, 0);
    db.Subscribers().Execute("delete from " + SubscriberTable(id) + " where EmailAddress='late@example.com'");
  }
}

TEST_F(SubscriberListTest, ManyPagesAreReadWithoutKeepingThemAll) {
  const int rows = static_cast<int>(SubscriberList::kPageRows * (SubscriberList::kKeptPages + 5));
  Fill(rows);
  SubscriberList list(db.Subscribers(), db.Config(), id);
  list.Reload();
  for (int pass = 0; pass < 2; ++pass)
    for (int64_t i = 0; i < rows; i += 97) ASSERT_EQ(list.Row(i).address, Address(static_cast<int>(i) + 1));
}

TEST_F(SubscriberListTest, CountStaysUntilReloadAndAddedRowsComeAtTheEnd) {
  ClockGuard clock(Day(2024, 5, 1, 10, 30));
  Fill(3);
  SubscriberList list(db.Subscribers(), db.Config(), id);
  list.Reload();
  const int64_t added = list.Add("new@example.com");
  EXPECT_EQ(list.Count(), 3);
  list.Reload();
  ASSERT_EQ(list.Count(), 4);
  const SubscriberRow row = list.Row(3);
  EXPECT_EQ(row.id, added);
  EXPECT_EQ(row.address, "new@example.com");
  EXPECT_DOUBLE_EQ(row.addedDate.AsReal(), Day(2024, 5, 1, 10, 30));
  EXPECT_TRUE(row.unsubscribeDate.IsNull());
  EXPECT_EQ(list.IndexOf(added), 3);
  EXPECT_EQ(list.IndexOf(added + 100), std::nullopt);
}

TEST_F(SubscriberListTest, RowDeletedElsewhereComesBackEmpty) {
  Fill(10);
  SubscriberList list(db.Subscribers(), db.Config(), id);
  list.Reload();
  db.Subscribers().Execute("delete from " + SubscriberTable(id) + " where EmailAddress='s3@example.com'");
  EXPECT_EQ(list.Row(9).id, 0);
  EXPECT_THROW(list.ChangeAddress(9, "x@example.com"), std::runtime_error);
}

TEST_F(SubscriberListTest, ChangeAddressWritesTheRowAndTheKeptPage) {
  Fill(5);
  SubscriberList list(db.Subscribers(), db.Config(), id);
  list.Reload();
  list.ChangeAddress(2, "changed@example.com");
  EXPECT_EQ(list.Row(2).address, "changed@example.com");
  list.Reload();
  EXPECT_EQ(AllAddresses(list), (std::vector<std::string>{Address(1), Address(2), "changed@example.com", Address(4),
                                                          Address(5)}));
}

TEST_F(SubscriberListTest, DeleteRemovesExactlyTheRowsOfEachRange) {
  const int rows = 2 * static_cast<int>(SubscriberList::kPageRows) + 10;
  Fill(rows);
  SubscriberList list(db.Subscribers(), db.Config(), id);
  list.Reload();
  // Ranges out of order, overlapping, across a page boundary and past the end.
  const int64_t deleted =
      list.Delete({{rows - 2, rows + 5}, {0, 0}, {250, 260}, {255, 262}, {100, 100}});
  EXPECT_EQ(deleted, 2 + 1 + 13 + 1);
  EXPECT_EQ(list.Count(), rows - deleted);
  std::vector<std::string> expected;
  for (int i = 0; i < rows; ++i)
    if (!(i == 0 || i == 100 || (i >= 250 && i <= 262) || i >= rows - 2)) expected.push_back(Address(i + 1));
  EXPECT_EQ(AllAddresses(list), expected);
}

TEST_F(SubscriberListTest, ReloadAndDeleteNestInsideATransactionTheCallerHolds) {
  Fill(4);
  SubscriberList list(db.Subscribers(), db.Config(), id);
  db.Subscribers().Execute("BEGIN");
  list.Reload();
  EXPECT_EQ(list.Delete({{1, 2}}), 2);
  db.Subscribers().Execute("COMMIT");
  EXPECT_EQ(AllAddresses(list), (std::vector<std::string>{Address(1), Address(4)}));
}

TEST_F(SubscriberListTest, LastEventNameComesFromTheEventsTable) {
  db.Config().Execute("insert into tblAutoresponderEvents (AutoresponderID, EventName) values (?, 'Welcome')", {id});
  const int64_t eventId = db.Config().LastInsertId();
  db.Subscribers().Execute("insert into " + SubscriberTable(id) +
                               " (EmailAddress, LastAutoresponderEventID) values ('a@example.com', ?),"
                               " ('b@example.com', NULL), ('c@example.com', ?)",
                           {eventId, eventId + 50});
  SubscriberList list(db.Subscribers(), db.Config(), id);
  list.Reload();
  EXPECT_EQ(list.LastEventName(list.Row(0)), "Welcome");
  EXPECT_EQ(list.LastEventName(list.Row(1)), "");
  EXPECT_EQ(list.LastEventName(list.Row(2)), "") << "an event deleted since";
}

}  // namespace
}  // namespace ar::test
