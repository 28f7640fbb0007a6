#include "processor/BounceStatus.h"
#include "tests/processor/MailFixtures.h"

#include <gtest/gtest.h>

namespace ar {
namespace {

// A message with the given body under an ordinary header block.
std::string WithBody(const std::string& body) {
  return "From: ann@example.com\r\nSubject: hello\r\n\r\n" + body;
}

TEST(BounceStatus, CodesAndPhrasesOfTheBody) {
  struct Case { const char* body; const char* code; const char* why; };
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
      {"5.7.1 refused", "5.7.1", "a code at the very start of the body"},
      {"code 5.1.10 here", "", "two-digit parts are not codes"},
      {"x5.1.1 y", "", "a letter before the code"},
      {"I paid 550 dollars for it.", "5.1.1", "' 550 ' in a personal message"},
      {"My MailBox Full of letters", "5.1.1", "phrase in any letter case"},
      {"Sorry: the recipient NAME is not recognized", "5.1.1", "the last phrase"},
      {"Delivery to the following recipient's failed", "5.1.1", "the apostrophe phrase"},
      {"Hello,\r\nplease subscribe me to the 550list.\r\n", "", "550 without blanks"},
      {"Hi there, an ordinary message.\r\n", "", "ordinary"},
      {"", "", "empty body"},
      {"5.1", "", "too short for a code"},
      {"Status: (5.2.2)", "5.2.2", "the body's last character closes the code"},
      {"Status: 4.4.7 ", "4.4.7", "a blank as the body's last character"},
      {"Status: 4.4.7", "", "nothing after the code"},
  };
  for (const Case& c : cases) EXPECT_EQ(GetBounceStatusCode(WithBody(c.body)), c.code) << c.why;
}

TEST(BounceStatus, TheFirstQualifyingCodeOfTheBodyWins) {
  EXPECT_EQ(GetBounceStatusCode(WithBody("text (#4.4.7)\r\nlater 5.1.1\r\n")), "4.4.7");
  EXPECT_EQ(GetBounceStatusCode(WithBody("skip 3.1.1 then 5.2.2 and more text")), "5.2.2");
}

// Header fields are full of version numbers shaped like status codes; only the phrases
// are looked for there.
TEST(BounceStatus, HeaderFieldsGivePhrasesButNoCode) {
  struct Case { const char* text; const char* code; const char* why; };
  const Case cases[] = {
      {"X-Spam-Checker-Version: SpamAssassin 4.0.0 (2022-12-13) on mx.example.com\r\n\r\nHello\r\n", "",
       "a spam checker's version"},
      {"X-Mailer: Quillpost 4.1.1 (GTK 3.24.38; x86_64-pc-linux-gnu)\r\n\r\nHello\r\n", "", "a mail client's version"},
      {"Subject: Returned mail: Mailbox full\r\nX-Mailer: Gate 2.1.3 (b77)\r\n\r\nNot delivered.\r\n", "5.1.1",
       "a phrase in the subject decides, the header's code does not"},
      {"Status: 5.1.1\r\nAction: failed\r\n", "", "no empty line: all of it is header"},
      {"\r\nStatus: 5.1.1\r\n", "5.1.1", "an empty header block"},
      {"X-Mailer: A 4.1.1 (x)\n\nStatus: 4.4.1\r\n", "4.4.1", "lines ended by LF alone"},
      {"X-Mailer: A 4.1.1 (x)\r\n\r\n", "", "an empty body"},
  };
  for (const Case& c : cases) EXPECT_EQ(GetBounceStatusCode(c.text), c.code) << c.why;
}

// Whole messages as mail servers deliver them.
TEST(BounceStatus, RealShapedMail) {
  struct Case { const char* file; const char* code; };
  const Case cases[] = {
      {"dsn-user-unknown.eml", "5.1.1"},          // multipart/report, permanent failure
      {"dsn-delayed.eml", "4.4.1"},               // multipart/report; only its Status field has a code
      {"report-phrase-in-subject.eml", "5.1.1"},  // no DSN; the subject names the failure
      {"personal-spam-checked.eml", ""},          // a spam checker's header on a person's mail
      {"personal-mail-client.eml", ""},           // a mail client's version in X-Mailer
  };
  for (const Case& c : cases) {
    const std::string text = test::MailFixture(c.file);
    ASSERT_FALSE(text.empty()) << c.file;
    EXPECT_EQ(GetBounceStatusCode(text), c.code) << c.file;
  }
}

}  // namespace
}  // namespace ar
