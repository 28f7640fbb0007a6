// Text search in received mail: the header lines, the sender, and case-insensitive search within bounds.
#include "base/Text.h"
#include "processor/TextSearch.h"

#include <gtest/gtest.h>

namespace ar {
namespace {

TEST(TextSearch, ExtractBetweenFindsTheFirstHeaderLine) {
  const std::string msg = "+OK\r\nReceived: x\r\nfrom: Ann <ann@example.com>\r\nSubject:  UNSUBSCRIBE me \r\nFrom: late@example.com\r\n";
  EXPECT_EQ(ExtractBetween(msg, "\r\nFrom:", "\r"), "Ann <ann@example.com>");
  EXPECT_EQ(ExtractBetween(msg, "\r\nsubject:", "\r"), "UNSUBSCRIBE me");
  EXPECT_EQ(ExtractBetween(msg, "\r\nTo:", "\r"), "");
  EXPECT_EQ(ExtractBetween("\r\nFrom: no line end", "\r\nFrom:", "\r"), "");
  EXPECT_EQ(ExtractBetween("\r\nFrom:\r\n", "\r\nFrom:", "\r"), "");
}

TEST(TextSearch, MessageSenderIsTheFirstMailboxOfTheHeaderBlock) {
  struct Case { const char* received; const char* sender; };
  const Case cases[] = {
      {"+OK\r\nFrom: Ann Smith <ann@example.com>\r\nFrom: late@example.com\r\n", "ann@example.com"},
      {"+OK\r\nfrom:\tann@example.com \r\n", "ann@example.com"},      // a tab before, a blank after
      {"+OK\r\nFrom: Ann < ann@example.com >\r\n", "ann@example.com"},  // blanks inside the brackets
      {"+OK\r\nFrom: =?UTF-8?B?QW5uIFNtaXRo?=\r\n <ann@example.com>\r\n", "ann@example.com"},  // folded
      {"+OK\r\nFrom: ann@example.com (Ann)\r\n", "ann@example.com"},
      {"+OK\r\nSubject: fwd\r\n\r\nFrom: quoted@example.com\r\n", ""},  // only the header block counts
      {"+OK\r\nFrom: Ann <\r\n", ""},                                   // no address after "<"
      {"+OK\r\nFrom: ann@example.com", ""},                              // the line never ends
      {"From: ann@example.com\r\n", ""},                                 // the server's own first line
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(MessageSender(c.received), c.sender) << c.received;
  EXPECT_EQ(MessageSubject("+OK\r\nSUBJECT:  Please unsubscribe \r\n"), "Please unsubscribe");
  EXPECT_EQ(MessageSubject("+OK\r\nSubject: =?UTF-8?Q?Please_unsub?=\r\n =?UTF-8?Q?scribe?=\r\n"),
            "Please unsubscribe");
  EXPECT_EQ(MessageSubject("+OK\r\nFrom: a@b.c\r\n\r\nSubject: unsubscribe\r\n"), "");
}

TEST(TextSearch, ExtractStringLooksBackFromTheEndMark) {
  const std::string answer = "* FLAGS (\\Seen)\r\n* 5 EXISTS\r\n* 0 RECENT\r\n01 OK [READ-WRITE] SELECT completed\r\n";
  EXPECT_EQ(ExtractString(answer, "*", "exists"), "5");
  EXPECT_EQ(ExtractString("* 12 exists", "*", "EXISTS"), "12");
  EXPECT_EQ(ExtractString("no count here", "*", "exists"), "");
  EXPECT_EQ(ExtractString("5 EXISTS", "*", "exists"), "");
}

TEST(TextSearch, CaseInsensitiveSearchStaysInsideItsInput) {
  EXPECT_EQ(FindNoCase("abc", "ABCD"), std::string_view::npos);
  EXPECT_EQ(FindNoCase("xAbC", "abc"), 1u);
  EXPECT_EQ(RFindNoCase("abcabc", "ABC", 6), 3u);
  EXPECT_EQ(RFindNoCase("abcabc", "ABC", 2), 0u);
  EXPECT_EQ(RFindNoCase("ab", "abc", 5), std::string_view::npos);
  EXPECT_EQ(TrimBlanks("  a b  "), "a b");
}

}  // namespace
}  // namespace ar
