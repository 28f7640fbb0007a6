// An autoresponder's editor settings: Null columns, cut columns, a vanished row, and names taken.
#include "control/autoresponders/AutoresponderList.h"
#include "control/autoresponders/AutoresponderSettings.h"

#include "tests/support/TestDatabases.h"

#include <gtest/gtest.h>

namespace ar::test {
namespace {

TEST(AutoresponderSettings, NullColumnsAndServerTypeReadAsTheEditorShowsThem) {
  TestDatabases db;
  const int64_t id = db.AddAutoresponder("Course", true);
  struct Case {
    Value serverType, folder;
    std::string shownType, shownFolder;
  };
  const Case cases[] = {
      {"IMAP4", "Archive", "IMAP4", "Archive"},
      {"imap4", "", "POP3", ""},  // only exactly "IMAP4" is IMAP4
      {"POP3", Value(), "POP3", "INBOX"},
      {Value(), Value(), "POP3", "INBOX"},
  };
  for (const Case& c : cases) {
    db.Config().Execute(
        "update tblAutoresponders set ResponseServerType=?, ResponseIMAPFolder=?, AutoresponderName=NULL,"
        " TimeOfDayToRespond=NULL, Active=NULL, POPServer=NULL, POPUsername=NULL, POPPassword=NULL,"
        " EnablePOPSSL=NULL where AutoresponderID=?",
        {c.serverType, c.folder, id});
    const std::optional<AutoresponderSettings> s = LoadAutoresponderSettings(db.Config(), id);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->serverType, c.shownType);
    EXPECT_EQ(s->imapFolder, c.shownFolder);
    EXPECT_EQ(s->name, "");
    EXPECT_EQ(s->popPassword, "");
    EXPECT_FALSE(s->active);
    EXPECT_FALSE(s->enablePopSsl);
  }
  EXPECT_FALSE(LoadAutoresponderSettings(db.Config(), id + 1));
}

TEST(AutoresponderSettings, SaveCutsTypeAndFolderAndFailsForAVanishedRow) {
  TestDatabases db;
  const int64_t id = db.AddAutoresponder("Course", true);
  AutoresponderSettings s;
  s.name = "Course";
  s.imapFolder = std::string(kImapFolderColumnSize - 1, 'f') + "\xC3\xA9xyz";  // cut after the two-byte character
  SaveAutoresponderSettings(db.Config(), id, s);
  EXPECT_EQ(LoadAutoresponderSettings(db.Config(), id)->imapFolder,
            std::string(kImapFolderColumnSize - 1, 'f') + "\xC3\xA9");
  EXPECT_THROW(SaveAutoresponderSettings(db.Config(), id + 1, s), std::runtime_error);
}

TEST(AutoresponderSettings, NameTakenIgnoresCaseAndTheAutoresponderItself) {
  TestDatabases db;
  const int64_t course = db.AddAutoresponder("Course", true);
  const int64_t news = db.AddAutoresponder("News", true);
  EXPECT_TRUE(AutoresponderNameTaken(db.Config(), "course", news));
  EXPECT_FALSE(AutoresponderNameTaken(db.Config(), "course", course));
  EXPECT_FALSE(AutoresponderNameTaken(db.Config(), "O'Brien's list", course));
}

}  // namespace
}  // namespace ar::test
