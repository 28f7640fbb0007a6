// Subscriber import: the header line, the chosen field, batches and their transactions, and de-duplication.
#include "control/subscribers/SubscriberImport.h"

#include "control/subscribers/DeDupe.h"
#include "store/Schema.h"
#include "tests/support/ClockGuard.h"
#include "tests/support/TestDatabases.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ar::test {
namespace {

class SubscriberImportTest : public ::testing::Test {
 protected:
  void SetUp() override { id = db.AddAutoresponder("Course", true); }
  std::string File(const std::string& content) {
    const std::string path = files.File("import" + std::to_string(++made) + ".csv");
    WriteWholeFile(path, content);
    return path;
  }
  int64_t ImportAll(const std::string& path, int field) {
    SubscriberImport import(db.Subscribers(), id, path, field);
    while (import.Step()) {
    }
    return import.RowsAdded();
  }
  // (SubscriberID, address) of every row in key order.
  std::vector<std::pair<int64_t, std::string>> Rows() {
    std::vector<std::pair<int64_t, std::string>> rows;
    for (RowSet r = db.Subscribers().Query("select SubscriberID, EmailAddress from " + SubscriberTable(id) +
                                           " order by SubscriberID");
         !r.Eof(); r.MoveNext())
      rows.emplace_back(r.Field("SubscriberID").AsInteger(), NullToDefault(r.Field("EmailAddress"), "<null>"));
    return rows;
  }
  std::vector<std::string> Addresses() {
    std::vector<std::string> all;
    for (const auto& [key, address] : Rows()) all.push_back(address);
    return all;
  }
  void Insert(int64_t key, const Value& address) {
    db.Subscribers().Execute("insert into " + SubscriberTable(id) + " (SubscriberID, EmailAddress) values (?, ?)",
                             {key, address});
  }

  TestDatabases db;
  TempFolder files;
  int made = 0;
  int64_t id = 0;
};

TEST_F(SubscriberImportTest, TheHeaderLineNamesTheFieldsOrIsRefused) {
  using P = ImportHeader::Problem;
  const struct {
    const char* name;
    std::string content;
    P problem;
    std::vector<std::string> fields;
  } cases[] = {
      {"two fields", "Name,Email\r\nann,ann@example.com\r\n", P::None, {"Name", "Email"}},
      {"quoted name with a comma", "\"Last, First\",Email\n", P::None, {"Last, First", "Email"}},
      {"address in the first line", "ann,ann@example.com\nbob,bob@example.com\n", P::NotFieldNames, {}},
      {"only a header", "Email", P::None, {"Email"}},
      {"empty file", "", P::None, {}},
  };
  for (const auto& c : cases) {
    const ImportHeader header = ReadImportHeader(File(c.content));
    EXPECT_EQ(header.problem, c.problem) << c.name;
    EXPECT_EQ(header.fields, c.fields) << c.name;
  }
  EXPECT_EQ(ReadImportHeader(files.File("none.csv")).problem, P::Missing);
  EXPECT_EQ(ReadImportHeader(files.Path()).problem, P::Missing) << "a folder is no file";
}

TEST_F(SubscriberImportTest, TheAddressIsTheChosenFieldTrimmedAndCutToTheColumn) {
  const std::string hundred(100, 'a');
  std::string accented;
  for (int i = 0; i < 101; ++i) accented += "\xC3\xA9";  // 101 characters of two bytes
  const struct {
    std::vector<std::string> fields;
    int field;
    std::string address;
  } cases[] = {
      {{"Ann", " ann@example.com"}, 2, "ann@example.com"},
      {{"Ann", "\tann@example.com \r"}, 2, "ann@example.com"},
      {{"Ann"}, 2, ""},
      {{""}, 1, ""},
      {{hundred + "xyz"}, 1, hundred},
      {{accented}, 1, accented.substr(0, 200)},
      {{"x", "y"}, 0, ""},
  };
  for (const auto& c : cases) {
    CsvLine line;
    line.fields = c.fields;
    EXPECT_EQ(ImportedAddress(line, c.field), c.address) << c.fields[0];
  }
}

TEST_F(SubscriberImportTest, EveryRecordLineAddsOneRowWithTheTimeItWasRead) {
  ClockGuard clock(Day(2024, 3, 1, 10, 0));
  const std::string path = File(
      "Name,Email\r\n"
      "Ann,ann@example.com\r\n"
      "\"Smith, Bob\",bob@example.com\r\n"
      "Short\r\n"
      "Dan,\"" + std::string(120, 'd') + "@example.com\"\r\n");
  EXPECT_EQ(ImportAll(path, 2), 4);
  EXPECT_EQ(Addresses(), (std::vector<std::string>{"ann@example.com", "bob@example.com", "", std::string(100, 'd')}));
  RowSet r = db.Subscribers().Query("select * from " + SubscriberTable(id));
  EXPECT_DOUBLE_EQ(r.Field("AddedDate").AsReal(), Day(2024, 3, 1, 10, 0));
  EXPECT_TRUE(r.Field("UnsubscribeDate").IsNull());
  EXPECT_TRUE(r.Field("LastEventSentTime").IsNull());
  EXPECT_TRUE(r.Field("LastAutoresponderEventID").IsNull());

  EXPECT_EQ(ImportAll(File("Email\n"), 1), 0) << "a file of only the header adds nothing";
}

TEST_F(SubscriberImportTest, EachBatchIsCommittedAndNoTransactionStaysOpenBetweenBatches) {
  const std::size_t lines = 2 * SubscriberImport::kBatchRows + 5;
  std::string content = "Email\n";
  for (std::size_t i = 0; i < lines; ++i) content += "r" + std::to_string(i) + "@example.com\n";
  SubscriberImport import(db.Subscribers(), id, File(content), 1);

  // Another program writing the same file gets in between batches without waiting.
  Connection::Options noWait;
  noWait.busyTimeoutMs = 0;
  Connection other = Connection::Open(db.Subscribers().Path(), noWait);
  std::vector<int64_t> seen;
  while (import.Step()) {
    seen.push_back(other.Scalar("select count(*) from " + SubscriberTable(id)).AsInteger());
    other.Execute("update " + SubscriberTable(id) + " set LastAutoresponderEventID=1 where SubscriberID=1");
  }
  const auto batch = static_cast<int64_t>(SubscriberImport::kBatchRows);
  EXPECT_EQ(seen, (std::vector<int64_t>{batch, 2 * batch, 2 * batch + 5}));
  EXPECT_EQ(import.RowsAdded(), 2 * batch + 5);
  EXPECT_EQ(import.Percent(), 100);
  EXPECT_FALSE(import.Step()) << "the end stays the end";
}

TEST_F(SubscriberImportTest, AFailingBatchLeavesEarlierRowsAndNoOpenTransaction) {
  const std::string path = File("Email\na@example.com\n");
  DropSubscriberTable(db.Subscribers(), id);
  SubscriberImport import(db.Subscribers(), id, path, 1);
  EXPECT_THROW(import.Step(), DbError);
  EXPECT_EQ(import.RowsAdded(), 0);
  db.Subscribers().Execute("BEGIN");  // would fail inside a transaction left open
  db.Subscribers().Execute("COMMIT");
  EXPECT_THROW(SubscriberImport(db.Subscribers(), id, files.File("gone.csv"), 1), std::runtime_error);
}

TEST_F(SubscriberImportTest, DeDupeKeepsTheFirstRowOfEachAddressAndDropsEmptyOnes) {
  Insert(1, "ann@example.com");
  Insert(2, "");
  Insert(3, "ANN@example.com");
  Insert(4, Value());
  Insert(5, "o'brien@example.com");
  Insert(6, "bob@example.com");
  Insert(7, "O'Brien@example.com");
  Insert(120000, "ann@example.com");  // in another range of keys than its first row
  Insert(120001, "zoe@example.com");
  db.Subscribers().Execute("insert into tblDeDupe (TheCount, EmailAddress) values (9, 'stale@example.com')");
  int steps = 0;
  DeDupe(db.Subscribers(), id, [&] { ++steps; });
  EXPECT_EQ(Rows(), (std::vector<std::pair<int64_t, std::string>>{
                        {1, "ann@example.com"}, {5, "o'brien@example.com"}, {6, "bob@example.com"}, {120001, "zoe@example.com"}}));
  EXPECT_GT(steps, 1) << "large key ranges go in several transactions";
  EXPECT_EQ(db.Subscribers().Scalar("select count(*) from tblDeDupe").AsInteger(), 0);

  DropSubscriberTable(db.Subscribers(), id);
  CreateSubscriberTable(db.Subscribers(), id);
  DeDupe(db.Subscribers(), id);  // an empty list
  EXPECT_TRUE(Rows().empty());
}

TEST_F(SubscriberImportTest, TheSameFileImportedTwiceAndDeDupedLeavesTheFirstImportsRows) {
  const std::string path = File("Name,Email\nAnn,ann@example.com\nBob,bob@example.com\nShort\nAnn again,ANN@example.com\n");
  ImportAll(path, 2);
  ImportAll(path, 2);
  EXPECT_EQ(Rows().size(), 8u) << "nothing is checked while importing";
  DeDupe(db.Subscribers(), id);
  EXPECT_EQ(Rows(), (std::vector<std::pair<int64_t, std::string>>{{1, "ann@example.com"}, {2, "bob@example.com"}}));
}

}  // namespace
}  // namespace ar::test
