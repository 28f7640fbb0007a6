// Subscriber export and find: the file name, either format, failures, and the search either way.
#include "control/subscribers/SubscriberExport.h"

#include "base/DayNumber.h"
#include "control/subscribers/SubscriberFind.h"
#include "store/Schema.h"
#include "tests/support/TestDatabases.h"

#include <gtest/gtest.h>

#include <csignal>
#include <algorithm>
#include <filesystem>
#include <optional>
#include <sys/resource.h>

namespace ar::test {
namespace {

class SubscriberExportAndFind : public ::testing::Test {
 protected:
  void SetUp() override {
    id = db.AddAutoresponder("Course", true);
    db.Config().Execute("insert into tblAutoresponderEvents (AutoresponderID, EventName) values (?, 'Welcome')", {id});
    welcome = db.Config().LastInsertId();
  }
  void Add(const std::string& address, double added, const Value& event = Value(), const Value& sent = Value(),
           const Value& unsubscribed = Value()) {
    db.Subscribers().Execute("insert into " + SubscriberTable(id) +
                                 " (EmailAddress, AddedDate, LastAutoresponderEventID, LastEventSentTime,"
                                 " UnsubscribeDate) values (?, ?, ?, ?, ?)",
                             {address, added, event, sent, unsubscribed});
  }
  SubscriberList& Loaded() {
    list.emplace(db.Subscribers(), db.Config(), id);
    list->Reload();
    return *list;
  }
  std::vector<std::string> FolderEntries() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(out.Path())) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  TestDatabases db;
  TempFolder out;
  int64_t id = 0, welcome = 0;
  std::optional<SubscriberList> list;
};

TEST_F(SubscriberExportAndFind, TheDefaultNameCarriesTheAutoresponderAndTheTime) {
  EXPECT_EQ(DefaultExportFileName(12, Day(2024, 1, 5, 14, 30, 5)), "SubscriberExport_ID12_20240105143005.txt");
}

TEST_F(SubscriberExportAndFind, WritesTheHeaderAndOneUnquotedLinePerRowInEitherFormat) {
  const double added = Day(2024, 2, 1, 9, 0), sent = Day(2024, 2, 2, 9, 0);
  Add("ann@example.com", added, welcome, sent);
  Add("Smith, Bob <bob@example.com>", added, Value(), Value(), sent);  // holds a comma
  Add("two\nlines\r\n@example.com", added);
  const std::string a = FormatGeneralDateTime(added), s = FormatGeneralDateTime(sent);

  const std::vector<std::vector<std::string>> lines = {
      {"SubscriberID", "EmailAddress", "AddedDate", "LastAutoresponderEventID", "LastEventSentTime", "UnsubscribeDate"},
      {"1", "ann@example.com", a, std::to_string(welcome), s, ""},
      {"2", "Smith, Bob <bob@example.com>", a, "", "", s},
      {"3", "two lines  @example.com", a, "", "", ""},
  };
  for (const char separator : {',', '\t'}) {
    std::string expected;
    for (const auto& line : lines) {
      for (std::size_t i = 0; i < line.size(); ++i) expected += (i > 0 ? std::string(1, separator) : "") + line[i];
      expected += "\r\n";
    }
    ExportSubscribers(Loaded(), out.File("list.txt"), separator);
    EXPECT_EQ(ReadWholeFile(out.File("list.txt")), expected) << "separator " << int{separator};
  }
}

TEST_F(SubscriberExportAndFind, ManyRowsInListOrderReplacingAnOlderFile) {
  db.Subscribers().Execute("with recursive n(i) as (select 1 union all select i+1 from n where i<3000)"
                           " insert into " + SubscriberTable(id) + " (EmailAddress) select 'r'||i||'@example.com' from n");
  WriteWholeFile(out.File("list.txt"), "old content");
  ExportSubscribers(Loaded(), out.File("list.txt"), ',');
  const std::string text = ReadWholeFile(out.File("list.txt"));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3001);
  EXPECT_NE(text.find("\r\n3000,r3000@example.com,"), std::string::npos);
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"list.txt"}) << "no temporary file stays";
}

TEST_F(SubscriberExportAndFind, AFailureLeavesNoFileUnderTheNameAndAnOlderOneUntouched) {
  Add("ann@example.com", Day(2024, 2, 1));
  try {
    ExportSubscribers(Loaded(), out.Path() + "/missing/list.txt", ',');
    ADD_FAILURE() << "a missing folder was not reported";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), "cannot create " + out.Path() + "/missing/list.txt: No such file or directory");
  }

  // A full disk, as the file-size limit makes it: the write fails part way.
  db.Subscribers().Execute("with recursive n(i) as (select 1 union all select i+1 from n where i<2000)"
                           " insert into " + SubscriberTable(id) + " (EmailAddress) select 'r'||i||'@example.com' from n");
  WriteWholeFile(out.File("list.txt"), "old content");
  SubscriberList& loaded = Loaded();
  loaded.Row(loaded.Count() - 1);  // pages read before the limit, so only the export writes
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 4096;
  ::setrlimit(RLIMIT_FSIZE, &small);
  std::string error;
  try {
    ExportSubscribers(loaded, out.File("list.txt"), ',');
  } catch (const std::runtime_error& e) {
    error = e.what();
  }
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(error, "cannot write " + out.File("list.txt") + ": File too large");
  EXPECT_EQ(ReadWholeFile(out.File("list.txt")), "old content");
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"list.txt"});
}

TEST_F(SubscriberExportAndFind, FindGoesEitherWayFromAPositionInAnyColumn) {
  const double added = Day(2024, 2, 1, 9, 0), other = Day(2023, 7, 9, 18, 0);
  Add("ann@example.com", added);
  Add("bob@Example.org", other, welcome, other);
  Add("o'brien_100%@example.com", added);
  Add("dan@example.org", added, welcome, added);
  Add("eve@example.com", other, Value(), Value(), other);
  SubscriberList& l = Loaded();
  using C = SubscriberColumn;
  const std::string otherText = FormatGeneralDateTime(other);
  const struct {
    C column;
    std::string text;
    int64_t from;
    bool forward;
    std::optional<int64_t> found;
  } cases[] = {
      {C::EmailAddress, "EXAMPLE.ORG", 0, true, 1},
      {C::EmailAddress, "example.org", 2, true, 3},
      {C::EmailAddress, "example.org", 4, true, std::nullopt},
      {C::EmailAddress, "example.org", 4, false, 3},
      {C::EmailAddress, "example.org", 1, false, 1},
      {C::EmailAddress, "example.org", 0, false, std::nullopt},
      {C::EmailAddress, "'brien_100%", 0, true, 2},
      {C::EmailAddress, "a_n", 0, true, std::nullopt},  // "_" is no wildcard
      {C::EmailAddress, "100%@", 0, true, 2},
      {C::EmailAddress, "nobody", 0, true, std::nullopt},
      {C::EmailAddress, "ann", 5, true, std::nullopt},  // past the end
      {C::SubscriberID, "4", 0, true, 3},
      {C::AddedDate, otherText, 2, true, 4},
      {C::LastEvent, "welc", 0, true, 1},
      {C::LastEvent, "WELCOME", 4, false, 3},
      {C::LastEventSent, otherText, 0, true, 1},
      {C::UnsubscribeDate, otherText, 4, false, 4},
      {C::UnsubscribeDate, otherText, 3, false, std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FindSubscriber(db.Subscribers(), l, c.column, c.text, c.from, c.forward), c.found)
        << static_cast<int>(c.column) << " " << c.text << " from " << c.from;
}

}  // namespace
}  // namespace ar::test
