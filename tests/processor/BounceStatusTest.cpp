#include "processor/BounceStatus.h"

#include <gtest/gtest.h>

namespace ar {
namespace {

TEST(BounceStatus, CodesAndPhrases) {
  struct Case { const char* text; const char* code; const char* why; };
  const Case cases[] = {
      {"Status: 5.1.1\r\nAction: failed\r\n", "5.1.1", "blank, code, CR LF"},
      {"Status:5.1.1\r\nAction: failed\r\n", "", "no blank, '#' or '(' before"},
      {"Status: 5.1.1.\r\nAction: failed\r\n", "", "'.' after"},
      {"Diagnostic: smtp; 550 5.1.1\r\n", "5.1.1", "blank, code, CR LF (the 550 alone would give 5.1.1 too)"},
      {"Status 4.2.2\r\n", "4.2.2", "blank, code, CR"},
      {"Remote host said: (#4.4.7)\r\n", "4.4.7", "between '#' and ')'"},
      {"Delivered (2.0.0) fine", "2.0.0", "a success code counts as a report"},
      {"code 3.2.1 here", "", "first digit 3 is not a status class"},
      {"code 3.2.1 here, mailbox full", "5.1.1", "the scan fails, a phrase decides"},
      {"5.7.1 refused", "5.7.1", "a code at the very start"},
      {"code 5.1.10 here", "", "two-digit parts are not codes"},
      {"x5.1.1 y", "", "a letter before the code"},
      {"I paid 550 dollars for it.", "5.1.1", "' 550 ' in a personal message"},
      {"My MailBox Full of letters", "5.1.1", "phrase in any letter case"},
      {"Sorry: the recipient NAME is not recognized", "5.1.1", "the last phrase"},
      {"Delivery to the following recipient's failed", "5.1.1", "the apostrophe phrase"},
      {"Hello,\r\nplease subscribe me to the 550list.\r\n", "", "550 without blanks"},
      {"Hi there, an ordinary message.\r\n", "", "ordinary"},
      {"", "", "empty"},
      {"5.1", "", "too short for a code"},
  };
  for (const Case& c : cases) EXPECT_EQ(GetBounceStatusCode(c.text), c.code) << c.why;
}

TEST(BounceStatus, TheFirstQualifyingCodeWins) {
  EXPECT_EQ(GetBounceStatusCode("header (#4.4.7)\r\nbody 5.1.1\r\n"), "4.4.7");
  EXPECT_EQ(GetBounceStatusCode("skip 3.1.1 then 5.2.2 and more text"), "5.2.2");
}

}  // namespace
}  // namespace ar
