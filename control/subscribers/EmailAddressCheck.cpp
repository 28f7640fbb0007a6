#include "control/subscribers/EmailAddressCheck.h"

#include "base/Text.h"

#include <algorithm>

namespace ar {
namespace {

// Characters, not bytes: every byte that does not continue a UTF-8 sequence.
std::size_t CharacterCount(std::string_view text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

constexpr std::string_view kRefusedCharacters = "\\: <>'#!$^*()+|}{~`?,][;=\"";

bool HasLetterAToZ(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return lower >= 'a' && lower <= 'z';
  });
}

}  // namespace

std::string_view CheckedAddressPart(std::string_view text) {
  const std::size_t open = text.find('<');
  if (open == std::string_view::npos) return text;
  const std::size_t close = text.find('>');
  if (close == std::string_view::npos || close < open) return {};
  return text.substr(open + 1, close - open - 1);
}

bool IsValidEmailAddress(std::string_view text) {
  if (CharacterCount(text) < 6) return false;
  const std::size_t open = text.find('<');
  if (open != std::string_view::npos) {
    const std::size_t close = text.find('>');
    if (close == std::string_view::npos || close < open) return false;
  }
  const std::string_view address = CheckedAddressPart(text);
  if (address.find_first_of(kRefusedCharacters) != std::string_view::npos) return false;
  if (address.find(".@") != std::string_view::npos || address.find("@.") != std::string_view::npos) return false;
  if (std::count(address.begin(), address.end(), '@') != 1) return false;
  if (address.find("..") != std::string_view::npos || address.find('.') == std::string_view::npos) return false;
  // Blanks are refused above, so the last character needs no trimming first.
  if (address.back() == '.') return false;
  const std::size_t at = address.find('@');
  if (at == 0 || at + 1 == address.size()) return false;
  return HasLetterAToZ(address.substr(at + 1));
}

SubscriberAddressProblem CheckSubscriberAddress(std::string_view typed, std::string& stored) {
  stored.clear();
  if (TrimBlanks(typed).empty()) return SubscriberAddressProblem::Empty;
  if (!IsValidEmailAddress(typed)) return SubscriberAddressProblem::Invalid;
  const std::string_view address = CheckedAddressPart(typed);
  if (CharacterCount(address) > kMaxSubscriberAddress) return SubscriberAddressProblem::TooLong;
  stored.assign(address);
  return SubscriberAddressProblem::None;
}

std::string SubscriberAddressMessage(SubscriberAddressProblem problem) {
  switch (problem) {
    case SubscriberAddressProblem::Empty: return "You must enter an email address to save";
    case SubscriberAddressProblem::Invalid: return "The email address you entered seems to be in an invalid format";
    case SubscriberAddressProblem::TooLong:
      return "The email address you entered is longer than " + std::to_string(kMaxSubscriberAddress) + " characters";
    case SubscriberAddressProblem::None: break;
  }
  return "";
}

}  // namespace ar
