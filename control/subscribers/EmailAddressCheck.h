#pragma once
// The address check of subscriber addresses typed by the operator.
#include <string>
#include <string_view>

namespace ar {

// True when the text looks like an e-mail address: a plain address, or a display name
// followed by the address in angle brackets, in which case only the bracketed part is
// judged. At least 6 characters in all; no blank, "\", ":", quotes, brackets or any of
// #!$^*()+|}{~`?,];= in the address; exactly one "@", neither first nor last, with no
// dot beside it; at least one dot, never two in a row nor one at the end; and a letter
// a to z somewhere after the "@".
bool IsValidEmailAddress(std::string_view text);

// The part of the text that IsValidEmailAddress judges: what lies between the first "<"
// and the first ">" after it, or the whole text when it holds no "<".
std::string_view CheckedAddressPart(std::string_view text);

// Why an address typed into the subscriber list cannot be stored.
enum class SubscriberAddressProblem { None, Empty, Invalid, TooLong };

// The longest address the subscriber table holds, in characters.
constexpr std::size_t kMaxSubscriberAddress = 100;

// Judges a typed subscriber address and gives the address to store: the bracketed part
// of "Name <address>", so that intake's match and de-duplication find the row.
SubscriberAddressProblem CheckSubscriberAddress(std::string_view typed, std::string& stored);

// The operator's message for a problem ("" for None).
std::string SubscriberAddressMessage(SubscriberAddressProblem problem);

}  // namespace ar
