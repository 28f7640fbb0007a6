// Reading received header fields: the first mailbox of a From field, folded fields, and
// encoded words.
#include "processor/EncodedWords.h"
#include "processor/HeaderFields.h"
#include "processor/MailboxAddress.h"
#include "tests/support/FakeServer.h"

#include <gtest/gtest.h>


namespace ar {
namespace {

TEST(MailboxAddress, TheFirstMailboxOfAFromField) {
  struct Case {
    std::string value;
    std::string address;  // empty: not well formed
    std::string display;
    std::string text;     // what the trace would show
  };
  const Case cases[] = {
      {"ann@example.com", "ann@example.com", "", "ann@example.com"},
      {"Ann Smith <ann@example.com>", "ann@example.com", "Ann Smith", "ann@example.com"},
      {"ann@example.com (Ann)", "ann@example.com", "", "ann@example.com"},
      {"(Ann (the (first))) ann@example.com", "ann@example.com", "", "ann@example.com"},
      {R"("Smith <IT>" <ann@example.com>)", "ann@example.com", "Smith <IT>", "ann@example.com"},
      {R"("Smith, Ann" <ann@example.com>)", "ann@example.com", "Smith, Ann", "ann@example.com"},
      {"ann@example.com, bob@example.com", "ann@example.com", "", "ann@example.com"},
      {"Team: ann@x.org, bob@x.org;", "ann@x.org", "", "ann@x.org"},
      {"Team:;, Bob <bob@x.org>", "bob@x.org", "Bob", "bob@x.org"},           // an empty group first
      {"Smith, Ann <ann@example.com>", "ann@example.com", "Ann", "ann@example.com"},  // a comma not quoted
      {"Ann < ann@example.com >", "ann@example.com", "Ann", "ann@example.com"},
      {"<@relay.example:ann@example.com>", "ann@example.com", "", "@relay.example:ann@example.com"},
      {"Ann <ann@example.com", "ann@example.com", "Ann", "ann@example.com"},   // never closed
      {"ann.lee+list@sub.example.com", "ann.lee+list@sub.example.com", "", "ann.lee+list@sub.example.com"},
      {R"("ann"@example.com)", "ann@example.com", "", R"("ann"@example.com)"},
      {R"("ann lee"@example.com)", R"("ann lee"@example.com)", "", R"("ann lee"@example.com)"},
      {"ann@[192.0.2.1]", "ann@[192.0.2.1]", "", "ann@[192.0.2.1]"},
      // An encoded display name: decoded, never taken for the address.
      {"=?UTF-8?B?QW5uIFNtaXRo?= <ann@example.com>", "ann@example.com", "Ann Smith", "ann@example.com"},
      {"=?UTF-8?Q?Eve_=3Ceve@evil.example=3E?= <ann@example.com>", "ann@example.com", "Eve <eve@evil.example>",
       "ann@example.com"},
      {"=?UTF-8?B?QW5uIFNtaXRo?=", "", "", "=?UTF-8?B?QW5uIFNtaXRo?="},
      // Not addresses.
      {"Ann Smith ann@example.com", "", "", "Ann Smith ann@example.com"},
      {"Ann <ann\t@example.com>", "", "Ann", "ann\t@example.com"},  // a blank inside the address
      {"ann(x)@example.com", "", "", "ann(x)@example.com"},
      {"ann@", "", "", "ann@"},
      {"ann@example..com", "", "", "ann@example..com"},
      {"@example.com", "", "", "@example.com"},
      {"Ann", "", "", "Ann"},
      {"Ann <", "", "Ann", ""},
      {"<>", "", "", ""},
      {"", "", "", ""},
      {"undisclosed-recipients:;", "", "", ""},
      // A control character stays in the address, for the caller to refuse.
      {"ann@example.com\nDATA", "ann@example.com\nDATA", "", "ann@example.com\nDATA"},
      {std::string("Ann <ann\0@example.com>", 22), std::string("ann\0@example.com", 16), "Ann",
       std::string("ann\0@example.com", 16)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(test::Visible(c.value));
    const MailboxAddress m = FirstMailbox(c.value);
    EXPECT_EQ(m.address, c.address);
    EXPECT_EQ(m.displayName, c.display);
    EXPECT_EQ(m.text, c.text);
  }
}

TEST(MailboxAddress, TheLocalPartOfAnAddressWithoutDomain) {
  EXPECT_EQ(FirstMailbox("Mail Delivery Subsystem <MAILER-DAEMON>").localPart, "MAILER-DAEMON");
  EXPECT_EQ(FirstMailbox("MAILER-DAEMON").localPart, "MAILER-DAEMON");
  EXPECT_EQ(FirstMailbox("postmaster@mx.example.com (Mail Delivery System)").localPart, "postmaster");
  EXPECT_EQ(FirstMailbox("ann@").localPart, "");
}

// Hostile fields: megabytes, comments nested deep or never closed, quotes never closed.
TEST(MailboxAddress, HostileFieldsTakeLinearWork) {
  const std::string huge = std::string(4 << 20, 'a') + "@example.com";
  const std::string nested = std::string(1 << 20, '(') + std::string(1 << 20, ')') + "ann@example.com";
  const std::string unclosed = std::string(1 << 20, '(') + "ann@example.com";
  const std::string quotes = std::string(1 << 20, '"') + " <ann@example.com>";
  const std::string angles = std::string(1 << 20, '<') + "ann@example.com";
  const std::string commas = std::string(1 << 20, ',') + "ann@example.com";
  EXPECT_EQ(FirstMailbox(huge).address.size(), huge.size());
  EXPECT_EQ(FirstMailbox(nested).address, "ann@example.com");
  EXPECT_EQ(FirstMailbox(unclosed).address, "");
  EXPECT_EQ(FirstMailbox(quotes).address, "ann@example.com");
  EXPECT_EQ(FirstMailbox(angles).address, "");
  EXPECT_EQ(FirstMailbox(commas).address, "ann@example.com");
  std::string neverClosed;
  while (neverClosed.size() < (1u << 20)) neverClosed += "=?a?Q?x";
  EXPECT_EQ(DecodeEncodedWords(neverClosed), neverClosed);
  // Quadratic work on these megabytes would run past the test's time-out.
}

TEST(HeaderFields, FoldedFieldsOfTheHeaderBlockOnly) {
  const std::string message =
      "Received: from mx.example.com\r\n"
      "\tby mail.example.com\r\n"
      "From: =?UTF-8?B?QW5uIFNtaXRo?=\r\n"
      " <ann@example.com>\r\n"
      "subject :  Please\r\n"
      "\tunsubscribe \r\n"
      "X-Note: a\r\n"
      " From: fake@example.com\r\n"
      "\r\n"
      "Reply-To: body@example.com\r\n";
  EXPECT_EQ(HeaderField(message, "From"), "=?UTF-8?B?QW5uIFNtaXRo?= <ann@example.com>");
  EXPECT_EQ(HeaderField(message, "Subject"), "Please\tunsubscribe");
  EXPECT_EQ(HeaderField(message, "Received"), "from mx.example.com\tby mail.example.com");
  EXPECT_EQ(HeaderField(message, "Reply-To"), std::nullopt);  // in the body
  EXPECT_EQ(HeaderField(message, "Fro"), std::nullopt);
  EXPECT_EQ(HeaderField("\r\nFrom: ann@example.com\r\n", "From"), std::nullopt);  // an empty header block
  EXPECT_EQ(HeaderField("From: ann@example.com", "From"), std::nullopt);         // cut short
  EXPECT_EQ(HeaderField("From: ann@example.com\nDATA\r\n", "From"), "ann@example.com\nDATA");
  EXPECT_EQ(HeaderField("From:\r\n", "From"), "");
}

TEST(EncodedWords, BAndQWordsAreDecoded) {
  struct Case { const char* text; const char* decoded; };
  const Case cases[] = {
      {"=?UTF-8?B?QW5u?=", "Ann"},
      {"=?utf-8?b?QW5uIA?=", "Ann "},                             // padding missing
      {"=?ISO-8859-1?Q?J=F6rg_Lee?=", "J\xf6rg Lee"},
      {"=?UTF-8?Q?a?= =?UTF-8?Q?b?=", "ab"},                       // blanks between words dropped
      {"Re: =?UTF-8?Q?unsub?=\t=?UTF-8?Q?scribe?= now", "Re: unsubscribe now"},
      {"=?UTF-8?X?QW5u?=", "=?UTF-8?X?QW5u?="},                    // no such encoding
      {"=?UTF-8?B?QW5u!?=", "=?UTF-8?B?QW5u!?="},                  // not base64
      {"=?UTF-8?Q?a b?=", "=?UTF-8?Q?a b?="},                      // a blank inside
      {"=??Q?a?=", "=??Q?a?="},                                    // no charset
      {"=?UTF-8?Q?a=", "=?UTF-8?Q?a="},
      {"plain text", "plain text"},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeEncodedWords(c.text), c.decoded) << c.text;
}

}  // namespace
}  // namespace ar
