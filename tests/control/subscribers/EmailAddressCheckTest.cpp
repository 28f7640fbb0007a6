// The address check of the editor's subscriber grid: a table of addresses and each refused character.
#include "control/subscribers/EmailAddressCheck.h"

#include <gtest/gtest.h>

#include <string>

namespace ar {
namespace {

TEST(IsValidEmailAddress, TableOfCases) {
  struct Case {
    std::string text;
    bool valid;
  };
  const Case cases[] = {
      {"a@b.cd", true},                        // six characters: enough
      {"a@b.c", false},                        // five are too few whatever they are
      {"\xC3\xBC@b.cd", true},                 // six characters in seven bytes
      {"\xC3\xBC@b.c", false},                 // five characters in six bytes
      {"user@123.45", false},                  // digits and dots only after the "@"
      {"user@123.a5", true},
      {"user@EXAMPLE.COM", true},              // letters count in either case
      {"user@123.45\xC3\xA9", false},          // a letter outside a to z does not count
      {"user.@example.com", false},            // dot before the "@"
      {"user@.example.com", false},            // dot after the "@"
      {"a@b@example.com", false},              // two "@"
      {"user.example.com", false},             // no "@"
      {"user@example..com", false},            // two dots in a row
      {"user@examplecom", false},              // no dot
      {"user@example.com.", false},            // dot last
      {"@example.com", false},                 // "@" first
      {"us.er@", false},                       // "@" last
      {"Ann Smith <ann@example.com>", true},   // blanks in the display name are fine
      {"<a@b.c>", true},                       // the length counts the whole text
      {"Ann <ann@example>", false},            // the bracketed address is judged
      {"Ann <ann@example.com> and more", true},
      {"ann@example.com>", false},             // ">" without "<"
      {"Ann <ann@example.com", false},         // "<" without ">"
      {"Ann >x< ann@example.com", false},      // the first ">" before the first "<"
      {"a&b/c_d%e-f@example.com", true},       // "&" and "/" are accepted in the local part
      {"user@example.com ", false},            // no trimming: a blank is refused
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsValidEmailAddress(c.text), c.valid) << "'" << c.text << "'";
}

TEST(IsValidEmailAddress, EachRefusedCharacterInTheLocalPart) {
  const std::string refused = "\\: <>'#!$^*()+|}{~`?,][;=\"";
  ASSERT_EQ(refused.size(), 26u);
  for (char c : refused) {
    const std::string text = std::string("us") + c + "er@example.com";
    EXPECT_FALSE(IsValidEmailAddress(text)) << text;
  }
}

TEST(CheckSubscriberAddress, GivesTheAddressToStoreOrTheProblem) {
  struct Case {
    std::string typed;
    SubscriberAddressProblem problem;
    std::string stored;
  };
  const std::string hundred = std::string(88, 'a') + "@example.com";
  ASSERT_EQ(hundred.size(), 100u);
  const Case cases[] = {
      {"ann@example.com", SubscriberAddressProblem::None, "ann@example.com"},
      {"Ann Smith <ann@example.com>", SubscriberAddressProblem::None, "ann@example.com"},
      {"Ann <ann@example.com> (work)", SubscriberAddressProblem::None, "ann@example.com"},
      {"", SubscriberAddressProblem::Empty, ""},
      {"   ", SubscriberAddressProblem::Empty, ""},
      {"not an address", SubscriberAddressProblem::Invalid, ""},
      {hundred, SubscriberAddressProblem::None, hundred},
      {"a" + hundred, SubscriberAddressProblem::TooLong, ""},
      {"A very long display name that does not count <" + hundred + ">", SubscriberAddressProblem::None, hundred},
  };
  for (const Case& c : cases) {
    std::string stored = "left over";
    EXPECT_EQ(CheckSubscriberAddress(c.typed, stored), c.problem) << c.typed;
    EXPECT_EQ(stored, c.stored) << c.typed;
  }
  EXPECT_EQ(SubscriberAddressMessage(SubscriberAddressProblem::Empty), "You must enter an email address to save");
  EXPECT_EQ(SubscriberAddressMessage(SubscriberAddressProblem::Invalid),
            "The email address you entered seems to be in an invalid format");
}

}  // namespace
}  // namespace ar
