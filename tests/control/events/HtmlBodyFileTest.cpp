// The HTML body file: its format, and the head and page properties read back from a
// document by the rule every loader uses.
#include "control/events/HtmlBodyFile.h"

#include <gtest/gtest.h>

namespace ar {
namespace {

struct PropertyCase {
  const char* document;
  const char* attribute;
  const char* value;
};

TEST(HtmlBodyFileTest, PagePropertyIsReadFromTheBodyTagOnly) {
  const PropertyCase cases[] = {
      {"<body link=\"#FF0000\">", "link", "#FF0000"},
      // Letter case of the tag and the name does not count.
      {"<HTML><BODY BGCOLOR=\"#FFFFFF\">", "bgcolor", "#FFFFFF"},
      // A blank in front: link is not alink or vlink, in either order.
      {"<body alink=\"#111111\" vlink=\"#222222\" link=\"#333333\">", "link", "#333333"},
      {"<body link=\"#333333\" alink=\"#111111\">", "alink", "#111111"},
      {"<body alink=\"#111111\">", "link", ""},
      // Blanks inside the quotes are trimmed; around "=" they do not matter.
      {"<body background = \"  back.gif \">", "background", "back.gif"},
      // An attribute of a later tag is not the body's.
      {"<body><a link=\"#FF0000\">", "link", ""},
      // No body tag, or one without attributes.
      {"<p link=\"#FF0000\">", "link", ""},
      {"<body>", "bgcolor", ""},
      // A tag merely beginning with "body" is not the body tag.
      {"<bodyx link=\"#1\"><body link=\"#2\">", "link", "#2"},
      // Values without double quotes are not read, nor taken from the next attribute.
      {"<body link=#FF0000 alink=\"#00FF00\">", "link", ""},
      {"<body link=\"#FF0000>", "link", ""},
      // Line breaks inside the tag, as hand-written pages have them.
      {"<body\r\n  bgcolor=\"#ABCDEF\"\r\n>", "bgcolor", "#ABCDEF"},
      // A value that is no colour is still read as it stands.
      {"<body bgcolor=\"white\">", "bgcolor", "white"},
  };
  for (const PropertyCase& c : cases)
    EXPECT_EQ(ReadPageProperty(c.document, c.attribute), c.value) << c.document << " / " << c.attribute;
}

TEST(HtmlBodyFileTest, HeadTextIsBetweenTheHeadTagsInAnyCase) {
  EXPECT_EQ(ReadHeadText("<HEAD>\r\n  <title>Hi</title>\r\n</HEAD>\r\n<BODY>"), "<title>Hi</title>");
  EXPECT_EQ(ReadHeadText("<html><head><style>p{}</style></head><body>"), "<style>p{}</style>");
  EXPECT_EQ(ReadHeadText("<HEAD>\r\n\r\n</HEAD>"), "");
  EXPECT_EQ(ReadHeadText("<head><title>no end"), "");
  EXPECT_EQ(ReadHeadText("<body>no head</body>"), "");
}

TEST(HtmlBodyFileTest, EachPropertyIsReadOnItsOwn) {
  const PageProperties p = ReadPageProperties(
      "<HEAD>\r\n<title>T</title>\r\n</HEAD>\r\n<BODY bgcolor=\"white\" link=\"#FF0000\" vlink=#00FF00>");
  EXPECT_EQ(p.head, "<title>T</title>");
  EXPECT_EQ(p.backgroundColor, "white");
  EXPECT_EQ(p.link, "#FF0000");
  EXPECT_EQ(p.vlink, "");
  EXPECT_EQ(p.alink, "");
  EXPECT_EQ(p.background, "");
}

TEST(HtmlBodyFileTest, BodyFileFormat) {
  PageProperties onlyLink;
  onlyLink.link = "#FF0000";
  EXPECT_EQ(BuildHtmlBodyFile(onlyLink, "<p>Hi</p>"),
            "<HEAD>\r\n\r\n</HEAD>\r\n<BODY link=\"#FF0000\">\r\n<p>Hi</p></BODY>\r\n");

  EXPECT_EQ(BuildHtmlBodyFile(PageProperties{}, ""), "<HEAD>\r\n\r\n</HEAD>\r\n<BODY>\r\n</BODY>\r\n");

  PageProperties all{"  <title>T</title> ", "#FFFFFF", "file:///home/ann/back.gif", "#0000FF", "#FF0000", "#800080"};
  EXPECT_EQ(BuildHtmlBodyFile(all, "x"),
            "<HEAD>\r\n<title>T</title>\r\n</HEAD>\r\n"
            "<BODY bgcolor=\"#FFFFFF\" background=\"file:///home/ann/back.gif\" link=\"#0000FF\" alink=\"#FF0000\""
            " vlink=\"#800080\">\r\nx</BODY>\r\n");

  // The line breaks the file's layout leaves around the body when it is read back do not
  // pile up from save to save.
  EXPECT_EQ(BuildHtmlBodyFile(onlyLink, "\n<p>Hi</p>\n"), BuildHtmlBodyFile(onlyLink, "<p>Hi</p>"));
  // Only that one: a blank line the operator put there stays.
  EXPECT_EQ(BuildHtmlBodyFile(PageProperties{}, "\n\n<p>Hi</p>\r\n"),
            "<HEAD>\r\n\r\n</HEAD>\r\n<BODY>\r\n\n<p>Hi</p></BODY>\r\n");

  EXPECT_EQ(HtmlOnlyBodyFile("<html>as typed</html>"), "<html>as typed</html>\r\n");
  EXPECT_EQ(HtmlOnlyBodyFile("<html>as loaded</html>\r\n"), "<html>as loaded</html>\r\n");
}

TEST(HtmlBodyFileTest, WrittenPropertiesReadBackTheSame) {
  PageProperties all{"<title>T</title>", "#1A2B3C", "C:\\pictures\\back ground.gif", "#0000FF", "#FF0000", "#800080"};
  EXPECT_EQ(ReadPageProperties(BuildHtmlBodyFile(all, "<p>body</p>")), all);
  // A double quote in a value cannot end the attribute early.
  PageProperties quoted;
  quoted.background = "a\" onload=\"x";
  EXPECT_EQ(BodyTag(quoted), "<BODY background=\"a&quot; onload=&quot;x\">");
}

}  // namespace
}  // namespace ar
