#pragma once
// The first mailbox of an address field such as From (RFC 5322 address-list): comments,
// quoted strings, display names with their encoded words, angle brackets and groups are
// read the way a mail reader reads them.
#include <string>
#include <string_view>

namespace ar {

struct MailboxAddress {
  // The address (local part "@" domain) when the first address of the field is well
  // formed; else empty.
  std::string address;
  // Its local part; also set for an address without a domain ("MAILER-DAEMON").
  std::string localPart;
  // The display name, its encoded words decoded; empty when there is none.
  std::string displayName;
  // What the field holds in the place of the first address, as written (the text inside
  // the angle brackets, or the whole first address), to show in a trace line; empty when
  // the field holds no address at all.
  std::string text;

  bool WellFormed() const { return !address.empty(); }
};

// The first mailbox of the field value (unfolded): of "Ann <ann@example.com>",
// "ann@example.com (Ann)", "\"Smith <IT>\" <ann@example.com>", "ann@x.org, bob@x.org" or
// "Team: ann@x.org, bob@x.org;" it is ann@... Work and memory are linear in the length
// of the value, whatever it holds.
//
// Inside an address no blank, tab or comment may stand between its parts (an obsolete
// form); such an address, like any other that does not parse, is not well formed. A
// control character counts as a letter here: the address keeps it, so that the caller
// sees it and refuses the address.
MailboxAddress FirstMailbox(std::string_view fieldValue);

}  // namespace ar
