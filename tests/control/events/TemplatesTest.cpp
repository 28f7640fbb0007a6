// The template files: which files are templates, the preview picture rule, the text a
// template gives and the import of a file, over a temporary templates folder.
#include "control/events/PageColour.h"
#include "control/events/Templates.h"

#include "store/DataFolder.h"
#include "tests/support/TempFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ar::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class TemplatesTest : public ::testing::Test {
 protected:
  std::string Folder() const { return folder.Path(); }
  void Write(const std::string& name, const std::string& content = "x") { WriteWholeFile(folder.File(name), content); }

  TempFolder folder;
};

TEST(PreviewPictureName, EveryHtmlOrElseEveryHtmMadeJpg) {
  const struct {
    std::string name, picture;
  } cases[] = {
      {"news.htm", "news.jpg"},
      {"news.html", "news.jpg"},
      {"News.HTML", "News.jpg"},
      {"a.html.html", "a.jpg.jpg"},
      {"a.htm.html", "a.htm.jpg"},  // with ".html" in it, ".htm" alone is left
      {"old.htm.htm", "old.jpg.jpg"},
      {"readme.txt", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(PreviewPictureName(c.name), c.picture) << c.name;
}

TEST_F(TemplatesTest, TemplatesAreTheHtmAndHtmlFilesInNameOrder) {
  for (const char* name : {"zebra.html", "Autumn.HTM", "basic.htm", "notes.txt", "page.htmlx", "nopreviewfile.jpg"})
    Write(name);
  MakeFolders(folder.File("folder.htm"));
  EXPECT_THAT(ListTemplates(Folder()), ElementsAre("Autumn.HTM", "basic.htm", "zebra.html"));
  EXPECT_TRUE(ListTemplates(folder.File("missing")).empty());
}

TEST_F(TemplatesTest, PreviewIsTheTemplatesOwnPictureElseTheNoPreviewPicture) {
  Write("own.html");
  Write("own.jpg");
  Write("bare.htm");
  EXPECT_EQ(PreviewPicturePath(Folder(), "own.html"), folder.File("own.jpg"));
  EXPECT_EQ(PreviewPicturePath(Folder(), "bare.htm"), "") << "no picture and no fallback";
  Write(kNoPreviewPicture);
  EXPECT_EQ(PreviewPicturePath(Folder(), "bare.htm"), folder.File("nopreviewfile.jpg"));
}

TEST_F(TemplatesTest, PreselectionIsTheDefaultInAnyLetterCaseElseTheFirst) {
  const std::vector<std::string> names = {"a.htm", "Blue.html", "c.htm"};
  EXPECT_EQ(PreselectedTemplate(names, "blue.HTML"), 1);
  EXPECT_EQ(PreselectedTemplate(names, ""), 0);
  EXPECT_EQ(PreselectedTemplate(names, "gone.htm"), 0);
  EXPECT_EQ(PreselectedTemplate({}, "a.htm"), -1);
}

TEST_F(TemplatesTest, TextIsReadLineByLineWithCrLfAfterEachLine) {
  Write("t.html", "<HEAD>\r\n<TITLE>T</TITLE></HEAD>\r<BODY>last line");
  EXPECT_EQ(ReadTemplateText(Folder(), "t.html"), "<HEAD>\r\n<TITLE>T</TITLE></HEAD>\r\n<BODY>last line\r\n");
  EXPECT_THROW(ReadTemplateText(Folder(), "gone.html"), std::runtime_error);
  Write("../outside.html");
  EXPECT_THROW(ReadTemplateText(Folder(), "../outside.html"), std::runtime_error) << "names stay inside the folder";
}

TEST_F(TemplatesTest, ImportCopiesUnderTheSameNameAndTellsWhenItWouldReplace) {
  TempFolder documents;
  const std::string source = documents.File("Spring Sale.html");
  WriteWholeFile(source, "<p>sale</p>");
  const std::string templates = folder.File("templates");  // made by the first import

  EXPECT_EQ(CheckTemplateImport(source, templates), TemplateImportCheck::Ready);
  EXPECT_EQ(ImportTemplate(source, templates), "");
  EXPECT_EQ(ReadWholeFile(templates + "/Spring Sale.html"), "<p>sale</p>");

  WriteWholeFile(source, "<p>new sale</p>");
  EXPECT_EQ(CheckTemplateImport(source, templates), TemplateImportCheck::WouldReplace);
  EXPECT_EQ(ImportTemplate(source, templates), "");
  EXPECT_EQ(ReadWholeFile(templates + "/Spring Sale.html"), "<p>new sale</p>");

  for (const std::string& missing : {documents.File("none.html"), documents.Path(), std::string()})
    EXPECT_EQ(CheckTemplateImport(missing, templates), TemplateImportCheck::NotFound) << missing;
}

TEST_F(TemplatesTest, AFailedImportSaysWhyAndLeavesNothingBehind) {
  TempFolder documents;
  const std::string source = documents.File("a.html");
  WriteWholeFile(source, "a");
  // A file where the folder should be: nothing can be written into it (as root too).
  Write("templates", "not a folder");
  const std::string why = ImportTemplate(source, folder.File("templates"));
  EXPECT_THAT(why, HasSubstr("cannot be made"));
  EXPECT_EQ(ReadWholeFile(folder.File("templates")), "not a folder");

  MakeFolders(folder.File("real"));
  MakeFolders(folder.File("real/a.html"));  // a folder in the template's place
  EXPECT_THAT(ImportTemplate(source, folder.File("real")), HasSubstr("cannot copy"));
  EXPECT_TRUE(FolderExists(folder.File("real/a.html")));
}

TEST(PageColour, SixHexadecimalDigitsAfterTheHashOnly) {
  EXPECT_EQ(ParsePageColour("#1A2B3C"), (PageColour{0x1A, 0x2B, 0x3C}));
  EXPECT_EQ(ParsePageColour("#ff00aa"), (PageColour{0xFF, 0x00, 0xAA}));
  EXPECT_EQ(PageColourText({0x1A, 0x2B, 0x3C}), "#1A2B3C");
  EXPECT_EQ(PageColourText({255, 0, 170}), "#FF00AA");
  for (const char* bad : {"", "#", "1A2B3C", "#1A2B3", "#1A2B3C4", "#GG0000", "red", "#1A 2B3"})
    EXPECT_THROW(ParsePageColour(bad), std::invalid_argument) << bad;
}

}  // namespace
}  // namespace ar::test
