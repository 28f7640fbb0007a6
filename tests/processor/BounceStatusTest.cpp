// Delivery report recognition: status codes, phrases, header fields, and mail shaped as real servers send it.
#include "processor/BounceStatus.h"
#include "tests/processor/MailFixtures.h"

#include <gtest/gtest.h>

namespace ar {
namespace {

// A person's message with the given body; the subject holds a phrase of reports, so that
// the body's status code alone decides.
std::string WithPhraseAndBody(const std::string& body) {
  return "From: ann@example.com\r\nSubject: unknown user\r\n\r\n" + body;
}

TEST(BounceStatus, TheEnhancedStatusCodeOfTheBody) {
  struct Case { const char* body; const char* code; const char* why; };
  const Case cases[] = {
      {"Status: 5.1.1\r\nAction: failed\r\n", "5.1.1", "blank, code, CR LF"},
      {"Status:5.1.1\r\nAction: failed\r\n", "", "no blank, '#' or '(' before"},
      {"Status: 5.1.1.\r\nAction: failed\r\n", "", "'.' after"},
      {"Status 4.2.2\r\n", "4.2.2", "blank, code, CR"},
      {"Remote host said: (#4.4.7)\r\n", "4.4.7", "between '#' and ')'"},
      {"Delivered (2.0.0) fine", "2.0.0", "a success code counts as a report"},
      {"code 3.2.1 here", "", "first digit 3 is not a status class"},
      {"5.7.1 refused", "5.7.1", "a code at the very start of the body"},
      {"code 5.1.10 here", "", "two-digit parts are not codes"},
      {"x5.1.1 y", "", "a letter before the code"},
      {"5.1", "", "too short for a code"},
      {"Status: (5.2.2)", "5.2.2", "the body's last character closes the code"},
      {"Status: 4.4.7 ", "4.4.7", "a blank as the body's last character"},
      {"Status: 4.4.7", "", "nothing after the code"},
      {"text (#4.4.7)\r\nlater 5.1.1\r\n", "4.4.7", "the first code wins"},
      {"skip 3.1.1 then 5.2.2 and more text", "5.2.2", "the first code of class 2, 4 or 5"},
  };
  for (const Case& c : cases) EXPECT_EQ(GetBounceStatusCode(WithPhraseAndBody(c.body)), c.code) << c.why;
}

// People write numbers like reply codes and versions like status codes: only both
// together, a status code and a phrase of reports, make a person's message a report.
TEST(BounceStatus, APersonsMailNeedsACodeAndAPhraseTogether) {
  struct Case { const char* body; const char* code; };
  const Case cases[] = {
      {"I paid 550 dollars for it.", ""},
      {"Version 2.1.3 is out.", ""},
      {"My MailBox Full of letters", ""},
      {"code 3.2.1 here, mailbox full", ""},
      {"Please subscribe me to the 550list.", ""},
      {"I paid 550 dollars for version 2.1.3 now.", "2.1.3"},
      {"Diagnostic: smtp; 550 5.1.1 <gone@example.org>\r\n", "5.1.1"},
      {"Sorry: the recipient NAME is not recognized (#5.1.1)", "5.1.1"},
      {"Delivery to the following recipient's failed: 4.4.7 \r\n", "4.4.7"},
      {"Hi there, an ordinary message.\r\n", ""},
      {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(GetBounceStatusCode("From: ann@example.com\r\nSubject: hello\r\n\r\n" + std::string(c.body)), c.code)
        << c.body;
}

TEST(BounceStatus, AReportByItsHeaderFields) {
  struct Case { const char* header; bool report; };
  const Case cases[] = {
      {"Content-Type: multipart/report; report-type=delivery-status;\r\n\tboundary=\"b\"", true},
      {"Content-Type: Multipart/Report; report-type=disposition-notification", true},
      {"Return-Path: <>", true},
      {"Return-Path: < >", true},
      {"From: MAILER-DAEMON@mx.example.com (Mail Delivery System)", true},
      {"From: Mail Delivery Subsystem <mailer-daemon@mx.example.com>", true},
      {"From: Mail Delivery Subsystem <MAILER-DAEMON>", true},
      {"From: Postmaster <POSTMASTER@mail.example.net>", true},
      {"Subject: Undeliverable: Lesson 3", true},
      {"Subject: Undelivered Mail Returned to Sender", true},
      {"Subject: Delivery Status Notification (Failure)", true},
      {"Subject: Mail delivery failed: returning message to sender", true},
      {"Subject: Returned mail: see transcript for details", true},
      {"Subject: failure notice", true},
      {"Subject: DELIVERY FAILURE: User ann not listed", true},
      {"Subject: =?UTF-8?Q?Undeliverable:_Lesson_3?=", true},
      {"Subject:\r\n Undeliverable", true},
      {"Content-Type: multipart/mixed; boundary=\"b\"", false},
      {"Content-Type: text/plain; note=multipart/report", false},
      {"Return-Path: <ann@example.com>", false},
      {"From: postmaster-fan@example.com", false},
      {"From: Ann <ann@mailer-daemon.example.com>", false},
      {"Subject: Re: Undeliverable", false},
      {"Subject: My failure notice", false},
  };
  for (const Case& c : cases) {
    const std::string head = std::string(c.header) + "\r\nDate: Tue, 12 Sep 2023 13:20:44 +0200\r\n";
    const char* plain = c.report ? "5.1.1" : "";
    const char* coded = c.report ? "4.4.1" : "";
    EXPECT_EQ(GetBounceStatusCode(head + "\r\nYour message was not delivered.\r\n"), plain) << c.header;
    EXPECT_EQ(GetBounceStatusCode(head + "\r\nStatus: 4.4.1\r\n"), coded) << c.header;
  }
  // In the body the same lines are text, not fields.
  EXPECT_EQ(GetBounceStatusCode("From: ann@example.com\r\n\r\nContent-Type: multipart/report\r\nReturn-Path: <>\r\n"
                                "Subject: failure notice\r\n"),
            "");
}

// Header fields are full of version numbers shaped like status codes; only the phrases
// are looked for there.
TEST(BounceStatus, HeaderFieldsGivePhrasesButNoCode) {
  struct Case { const char* text; const char* code; const char* why; };
  const Case cases[] = {
      {"X-Spam-Checker-Version: SpamAssassin 4.0.0 (2022-12-13) on mx.example.com\r\n\r\nHello\r\n", "",
       "a spam checker's version"},
      {"X-Mailer: Quillpost 4.1.1 (GTK 3.24.38; x86_64-pc-linux-gnu)\r\n\r\nHello\r\n", "", "a mail client's version"},
      {"Subject: Mailbox full\r\nX-Mailer: Gate 2.1.3 (b77)\r\n\r\nNot delivered.\r\n", "",
       "a phrase in the subject and a code in the header"},
      {"Subject: Mailbox full\r\n\r\nStatus: 5.2.2\r\n", "5.2.2", "a phrase in the subject and a code in the body"},
      {"Status: 5.1.1 unknown user\r\nAction: failed\r\n", "", "no empty line: all of it is header"},
      {"\r\nStatus: 5.1.1 unknown user\r\n", "5.1.1", "an empty header block"},
      {"X-Mailer: A 4.1.1 (x)\n\nStatus: 4.4.1\r\nmailbox full\r\n", "4.4.1", "lines ended by LF alone"},
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
      {"report-phrase-in-subject.eml", "5.1.1"},  // no DSN; from postmaster, the subject names the failure
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
