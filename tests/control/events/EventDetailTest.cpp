// The event editor's row: load and save of every column, the save order around the HTML
// body file, the immediate-event count and the interval check; its files on disk and the
// external editor's command.
#include "control/events/BodyFileIo.h"
#include "control/events/EventDetail.h"
#include "control/events/ExternalEditor.h"

#include "store/DataFolder.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestData.h"
#include "tests/support/TestDatabases.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace ar::test {
namespace {

class EventDetailTest : public ::testing::Test {
 protected:
  void SetUp() override { id = db.AddAutoresponder("Course", true); }
  int64_t AddEvent(int interval) {
    return test::InsertEvent(db.Config(), id, {{"EventName", "E"}, {"EventInterval", interval}});
  }
  RowSet Row(int64_t eventId) {
    return db.Config().Query("select * from tblAutoresponderEvents where AutoresponderEventID=?", {eventId});
  }

  TestDatabases db;
  int64_t id = 0;
};

TEST_F(EventDetailTest, NullColumnsLoadAsTheirDefaults) {
  db.Config().Execute("insert into tblAutoresponderEvents (AutoresponderID) values (?)", {id});
  const std::optional<EventDetail> d = LoadEventDetail(db.Config(), db.Config().LastInsertId());
  ASSERT_TRUE(d);
  EXPECT_EQ(d->autoresponderId, id);
  EXPECT_EQ(d->eventName, "");
  EXPECT_EQ(d->interval, "");
  EXPECT_EQ(d->plainTextMessage, "");
  // Null counts as checked for three boxes, as unchecked for the visual-editor switch.
  EXPECT_TRUE(d->plainTextOnly);
  EXPECT_TRUE(d->active);
  EXPECT_TRUE(d->useFilesForMessageBodies);
  EXPECT_FALSE(d->disableWysiwyg);
  EXPECT_FALSE(LoadEventDetail(db.Config(), 999));
}

TEST_F(EventDetailTest, EveryFieldSavesAndLoadsBack) {
  const int64_t eventId = AddEvent(0);
  EventDetail d;
  d.autoresponderId = id;
  d.eventName = "Day 7: Ann's offer";
  d.fromAddress = "Course Team <news@example.com>";
  d.fromName = "Course Team";
  d.replyTo = "reply@example.com";
  d.attachment = "/home/ann/offer.pdf";
  d.interval = "7.5";
  d.subject = "Your offer \u20ac";
  d.plainTextOnly = false;
  d.active = false;
  d.htmlMessageFile = "/home/ann/offer.html";
  d.plainTextMessageFile = "/home/ann/offer.txt";
  d.plainTextMessage = "Line one\r\nLine two\r\n";
  d.useFilesForMessageBodies = false;
  d.disableWysiwyg = true;
  SaveEventDetail(db.Config(), eventId, d, nullptr);
  const std::optional<EventDetail> back = LoadEventDetail(db.Config(), eventId);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->eventName, d.eventName);
  EXPECT_EQ(back->fromAddress, d.fromAddress);
  EXPECT_EQ(back->fromName, d.fromName);
  EXPECT_EQ(back->replyTo, d.replyTo);
  EXPECT_EQ(back->attachment, d.attachment);
  EXPECT_EQ(back->interval, "7.5");
  EXPECT_EQ(back->subject, d.subject);
  EXPECT_FALSE(back->plainTextOnly);
  EXPECT_FALSE(back->active);
  EXPECT_EQ(back->htmlMessageFile, d.htmlMessageFile);
  EXPECT_EQ(back->plainTextMessageFile, d.plainTextMessageFile);
  EXPECT_EQ(back->plainTextMessage, d.plainTextMessage);
  EXPECT_FALSE(back->useFilesForMessageBodies);
  EXPECT_TRUE(back->disableWysiwyg);
  // Yes/No columns hold -1 and 0; the delay is a number the scheduler compares.
  RowSet row = Row(eventId);
  EXPECT_EQ(row.Field("DisableWYSIWYG").AsInteger(), -1);
  EXPECT_EQ(row.Field("Active").AsInteger(), 0);
  EXPECT_DOUBLE_EQ(row.Field("EventInterval").AsReal(), 7.5);
}

TEST_F(EventDetailTest, LongTextsAreCutToTheColumnAndPathsAndBodiesAreNot) {
  const int64_t eventId = AddEvent(1);
  EventDetail d;
  d.eventName = std::string(300, 'n');
  d.subject = std::string(254, 's') + "\u00e9\u00e9";  // cut by characters, not bytes
  d.htmlMessageFile = "/" + std::string(400, 'p');
  d.plainTextMessage = std::string(70000, 't');
  SaveEventDetail(db.Config(), eventId, d, nullptr);
  RowSet row = Row(eventId);
  EXPECT_EQ(row.Field("EventName").AsText(), std::string(255, 'n'));
  EXPECT_EQ(row.Field("Subject").AsText(), std::string(254, 's') + "\u00e9");
  EXPECT_EQ(row.Field("HTMLMessageFile").AsText(), d.htmlMessageFile);
  EXPECT_EQ(row.Field("PlainTextMessage").AsText().size(), 70000u);
}

TEST_F(EventDetailTest, BodyFileIsWrittenBeforeTheRowAndItsFailureKeepsTheRow) {
  const int64_t eventId = AddEvent(3);
  EventDetail d;
  d.eventName = "Changed";
  d.interval = "5";
  bool rowStillOld = false;
  SaveEventDetail(db.Config(), eventId, d, [&] { rowStillOld = Row(eventId).Field("EventName").AsText() == "E"; });
  EXPECT_TRUE(rowStillOld);
  EXPECT_EQ(Row(eventId).Field("EventName").AsText(), "Changed");

  d.eventName = "Not saved";
  EXPECT_THROW(SaveEventDetail(db.Config(), eventId, d, [] { throw std::runtime_error("disk full"); }),
               std::runtime_error);
  EXPECT_EQ(Row(eventId).Field("EventName").AsText(), "Changed");

  // A deleted event is reported before its body file is touched.
  bool bodyWritten = false;
  EXPECT_THROW(SaveEventDetail(db.Config(), 999, d, [&] { bodyWritten = true; }), std::runtime_error);
  EXPECT_FALSE(bodyWritten);
}

TEST_F(EventDetailTest, ImmediateEventsAreCountedPerAutoresponder) {
  AddEvent(0);
  AddEvent(3);
  EXPECT_EQ(CountImmediateEvents(db.Config(), id), 1);
  AddEvent(0);
  EXPECT_EQ(CountImmediateEvents(db.Config(), id), 2);
  EXPECT_EQ(CountImmediateEvents(db.Config(), db.AddAutoresponder("Other", true)), 0);
}

TEST(IntervalTest, FieldBecomesItsNumberNeverBelowZero) {
  const std::pair<const char*, const char*> cases[] = {
      {"-3", "0"},   {"0", "0"},       {"7.5", "7.5"}, {"3 days", "3"}, {"days", "0"},    {"", "0"},
      {" 12", "12"}, {"2.50", "2.5"},  {"-0", "0"},    {"1e3", "1000"}, {"1e999", "0"},   {"14", "14"},
  };
  for (const auto& [typed, shown] : cases) EXPECT_EQ(NormaliseInterval(typed), shown) << typed;
  EXPECT_DOUBLE_EQ(IntervalValue("7.5 days"), 7.5);
}

TEST(BodyFileIoTest, ReplacingKeepsTheFilesModeAndLeavesNothingBehind) {
  TempFolder folder;
  const std::string path = folder.File("mine.html");
  WriteWholeFile(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
  ReplaceFileText(path, "new text");
  EXPECT_EQ(ReadWholeFile(path), "new text");
  struct stat st{};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);

  // A new file is the owner's and the group's only.
  const std::string fresh = folder.File("content.html");
  ReplaceFileText(fresh, "x");
  ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0007, 0u);

  // Through a link, the link stays and its target changes.
  const std::string link = folder.File("link.html");
  ASSERT_EQ(::symlink(path.c_str(), link.c_str()), 0);
  ReplaceFileText(link, "via link");
  EXPECT_EQ(ReadWholeFile(path), "via link");
  struct stat lst{};
  ASSERT_EQ(::lstat(link.c_str(), &lst), 0);
  EXPECT_TRUE(S_ISLNK(lst.st_mode));
}

TEST(BodyFileIoTest, FailedWriteReportsWhyAndKeepsTheOldFile) {
  TempFolder folder;
  WriteWholeFile(folder.File("content"), "a file where the folder should be");
  try {
    ReplaceFileText(folder.File("content/12.html"), "body");
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("Not a directory"), std::string::npos) << e.what();
  }
  // A folder in the file's place is not replaced by a file.
  MakeFolders(folder.File("dir.html"));
  EXPECT_THROW(ReplaceFileText(folder.File("dir.html"), "body"), std::runtime_error);
  EXPECT_TRUE(FolderExists(folder.File("dir.html")));
}

TEST(BodyFileIoTest, TextIsReadLineByLineInEitherEncoding) {
  TempFolder folder;
  WriteWholeFile(folder.File("utf8.html"), "caf\xc3\xa9\nline\r\nlast");
  EXPECT_EQ(ReadTextLines(folder.File("utf8.html")), "caf\xc3\xa9\nline\r\nlast\r\n");
  WriteWholeFile(folder.File("ansi.txt"), "caf\xe9 \x80\r\n");
  EXPECT_EQ(ReadTextLines(folder.File("ansi.txt")), "caf\xc3\xa9 \xe2\x82\xac\r\n");
  EXPECT_THROW(ReadTextLines(folder.File("missing.txt")), std::runtime_error);
  EXPECT_THROW(ReadTextLines(folder.Path()), std::runtime_error);
  EXPECT_EQ(RegularFileSize(folder.File("ansi.txt")), 8u);
  EXPECT_FALSE(RegularFileSize(folder.Path()));
}

TEST(BodyFileIoTest, StampTellsAChangedFile) {
  TempFolder folder;
  const std::string path = folder.File("a.html");
  EXPECT_FALSE(StampOf(path));
  WriteWholeFile(path, "one");
  const std::optional<FileStamp> before = StampOf(path);
  ASSERT_TRUE(before);
  EXPECT_EQ(StampOf(path), before);
  ReplaceFileText(path, "two");  // a new file under the old name
  EXPECT_NE(StampOf(path), before);
}

TEST(ExternalEditorTest, CommandComesFromTheEnvironmentAndTakesThePathAsOneArgument) {
  using Words = std::vector<std::string>;
  EXPECT_EQ(ExternalEditorCommand("/data/content/12.html", "code --wait", "vi"),
            (Words{"code", "--wait", "/data/content/12.html"}));
  EXPECT_EQ(ExternalEditorCommand("/home/ann/my page.html", "", "gedit"), (Words{"gedit", "/home/ann/my page.html"}));
  EXPECT_EQ(ExternalEditorCommand("/a.html", "  ", ""), (Words{"xdg-open", "/a.html"}));
  // A path is never read as a command or an option.
  EXPECT_EQ(ExternalEditorCommand("$(rm -rf ~); x.html", "", ""), (Words{"xdg-open", "$(rm -rf ~); x.html"}));
  EXPECT_EQ(ExternalEditorCommand("-x.html", "", ""), (Words{"xdg-open", "./-x.html"}));
  EXPECT_EQ(SplitCommandWords("'my editor' -n \"a b\" c\\ d"), (Words{"my editor", "-n", "a b", "c d"}));
}

}  // namespace
}  // namespace ar::test
