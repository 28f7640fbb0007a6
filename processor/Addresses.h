#pragma once
#include <string>

namespace ar {

// The bare address of "Name <address>": the text after the first "<" without its last
// character; a text without "<" as it stands. A text ending in "<" has no address: the
// error is traced and the result is empty.
std::string EmailAddressOnly(const std::string& text);

}  // namespace ar
