// An autoresponder's events: their order, a new event's sender and body file, names, and deletion.
#include "control/events/Events.h"

#include "store/DataFolder.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestData.h"
#include "tests/support/TestDatabases.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace ar::test {
namespace {

class EventsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    id = db.AddAutoresponder("Course", true);
    MakeFolders(programFolder.Path() + "/templates");
  }
  int64_t AddEvent(int64_t autoresponder, const std::string& name, int interval, const std::string& from = "") {
    return test::InsertEvent(db.Config(), autoresponder,
                             {{"EventName", name}, {"EventInterval", interval}, {"Active", true}, {"FromAddress", from},
                              {"FromName", "Team"}, {"ReplyToAddress", "reply@example.com"}});
  }
  std::optional<int64_t> Create(const std::string& name) {
    return CreateEvent(db.Config(), EventFolders{db.Folder(), programFolder.Path()}, id, name);
  }
  std::string Content(int64_t eventId) { return ReadWholeFile(EventContentFilePath(db.Folder(), eventId)); }

  TestDatabases db;
  TempFolder programFolder;
  int64_t id = 0;
};

TEST_F(EventsTest, ListIsOrderedByDelayThenIdentifier) {
  const int64_t later = AddEvent(id, "Day 7", 7);
  const int64_t first = AddEvent(id, "Welcome", 0);
  const int64_t second = AddEvent(id, "Also day 0", 0);
  AddEvent(db.AddAutoresponder("Other", true), "Not this one", 1);
  const std::vector<EventListRow> events = LoadEventList(db.Config(), id);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].id, first);
  EXPECT_EQ(events[1].id, second);
  EXPECT_EQ(events[2].id, later);
  EXPECT_EQ(events[2].name, "Day 7");
  EXPECT_EQ(events[2].interval, 7);
  EXPECT_TRUE(events[2].active);
  EXPECT_EQ(events[2].autoresponderId, id);
}

TEST_F(EventsTest, NewEventTakesTheFirstEventsSenderAndStartsInactive) {
  AddEvent(id, "First", 3, "Course Team <news@example.com>");
  AddEvent(id, "Second", 0, "other@example.com");
  const std::optional<int64_t> created = Create("Ann's tips");  // an apostrophe is just a character
  ASSERT_TRUE(created);
  RowSet row = db.Config().Query("select * from tblAutoresponderEvents where AutoresponderEventID=?", {*created});
  ASSERT_FALSE(row.Eof());
  EXPECT_EQ(row.Field("EventName").AsText(), "Ann's tips");
  EXPECT_EQ(row.Field("AutoresponderID").AsInteger(), id);
  EXPECT_EQ(row.Field("Active").AsInteger(), 0);
  EXPECT_EQ(row.Field("EventInterval").AsInteger(), 0);
  EXPECT_EQ(row.Field("FromAddress").AsText(), "Course Team <news@example.com>");
  EXPECT_EQ(row.Field("FromName").AsText(), "Team");
  EXPECT_EQ(row.Field("ReplyToAddress").AsText(), "reply@example.com");
  EXPECT_TRUE(row.Field("Subject").IsNull());
}

TEST_F(EventsTest, FirstEventOfAnAutoresponderHasEmptySenderFields) {
  AddEvent(db.AddAutoresponder("Other", true), "Elsewhere", 0, "other@example.com");
  const std::optional<int64_t> created = Create("Welcome");
  ASSERT_TRUE(created);
  RowSet row = db.Config().Query("select * from tblAutoresponderEvents where AutoresponderEventID=?", {*created});
  EXPECT_EQ(row.Field("FromAddress").AsText(), "");
  EXPECT_EQ(row.Field("FromName").AsText(), "");
  EXPECT_EQ(row.Field("ReplyToAddress").AsText(), "");
}

TEST_F(EventsTest, NameAlreadyUsedInTheSameAutoresponderIsRefused) {
  AddEvent(id, "Welcome", 0);
  AddEvent(db.AddAutoresponder("Other", true), "Tips", 0);
  EXPECT_FALSE(Create("WELCOME"));
  EXPECT_TRUE(Create("Tips")) << "another autoresponder's event names do not count";
  EXPECT_EQ(LoadEventList(db.Config(), id).size(), 2u);
}

TEST_F(EventsTest, ContentFileIsACopyOfTheDefaultTemplateOrEmpty) {
  WriteWholeFile(programFolder.File("templates/green.html"), "<HEAD>\r\n</HEAD>\r\n<BODY>green</BODY>\r\n");
  WriteWholeFile(db.Folder() + "/secret.html", "not a template");
  struct Case {
    const char* defaultTemplate;
    std::string content;
  };
  const Case cases[] = {
      {"green.html", "<HEAD>\r\n</HEAD>\r\n<BODY>green</BODY>\r\n"},
      {"", ""},
      {"missing.html", ""},
      {"../../secret.html", ""},  // only a file of the templates folder is copied
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.defaultTemplate);
    db.Config().Execute("update tblConfiguration set DefaultTemplate=?", {std::string(c.defaultTemplate)});
    const std::optional<int64_t> created = Create("Event " + std::to_string(++n));
    ASSERT_TRUE(created);
    const std::string path = EventContentFilePath(db.Folder(), *created);
    ASSERT_TRUE(FileExists(path));
    EXPECT_EQ(Content(*created), c.content);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & S_IROTH, 0u);
  }
}

TEST_F(EventsTest, DeleteRemovesTheRowThenTheFileAndPassesOverAMissingFile) {
  const int64_t withFile = AddEvent(id, "With file", 0);
  const int64_t withoutFile = AddEvent(id, "Without file", 1);
  const int64_t other = AddEvent(id, "Stays", 2);
  MakeFolders(db.Folder() + "/content");
  for (int64_t e : {withFile, other}) WriteWholeFile(EventContentFilePath(db.Folder(), e), "body");

  DeleteEvent(db.Config(), db.Folder(), withFile);
  DeleteEvent(db.Config(), db.Folder(), withoutFile);
  const std::vector<EventListRow> left = LoadEventList(db.Config(), id);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].id, other);
  EXPECT_FALSE(FileExists(EventContentFilePath(db.Folder(), withFile)));
  EXPECT_TRUE(FileExists(EventContentFilePath(db.Folder(), other)));
}

TEST_F(EventsTest, RowThatCannotBeDeletedKeepsItsFile) {
  const int64_t event = AddEvent(id, "Kept", 0);
  MakeFolders(db.Folder() + "/content");
  WriteWholeFile(EventContentFilePath(db.Folder(), event), "body");
  db.Config().Execute(
      "CREATE TRIGGER refuse BEFORE DELETE ON tblAutoresponderEvents BEGIN SELECT RAISE(ABORT, 'refused'); END");
  EXPECT_THROW(DeleteEvent(db.Config(), db.Folder(), event), DbError);
  EXPECT_EQ(LoadEventList(db.Config(), id).size(), 1u);
  EXPECT_EQ(Content(event), "body");
}

}  // namespace
}  // namespace ar::test
