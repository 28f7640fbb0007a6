// The address helpers of intake and sending, and the check of an envelope address.
#include "mail/Addresses.h"
#include "mail/EnvelopeAddress.h"

#include <gtest/gtest.h>

namespace ar {
namespace {

TEST(Addresses, AddressPartOfANamedAddress) {
  const struct {
    const char* text;
    const char* address;
  } cases[] = {
      {"Ann Lee <ann@example.com>", "ann@example.com"},
      {"<ann@example.com>", "ann@example.com"},
      {"ann@example.com", "ann@example.com"},
      {"Ann <", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(EmailAddressOnly(c.text), c.address) << c.text;
}

TEST(Addresses, OnlyAddressesThatCannotBreakAnEnvelopeCommandAreSafe) {
  const struct {
    std::string address;
    bool safe;
  } cases[] = {
      {"ann@example.com", true},
      {"o'brien+list@example.com", true},
      {"\xc3\xa9t\xc3\xa9@example.com", true},
      {"", false},
      {"ann @example.com", false},
      {"ann@example.com\r\nRCPT TO:<eve@example.com", false},
      {"ann@example.com\n", false},
      {"ann\t@example.com", false},
      {std::string("ann\0@example.com", 16), false},
      {"ann>@example.com", false},
      {"<ann@example.com", false},
      {"ann\x7f@example.com", false},
      // No length limit: mail to subscribers takes what the mailbox gave.
      {std::string(300, 'a') + "@example.com", true},
  };
  for (const auto& c : cases) EXPECT_EQ(IsSafeEnvelopeAddress(c.address), c.safe) << c.address;
}

}  // namespace
}  // namespace ar
