#pragma once
// Reading RFC 2047 encoded words ("=?UTF-8?B?QW5u?=", "=?ISO-8859-1?Q?J=F6rg?=") in the
// header texts of received mail: display names and subjects.
#include <string>
#include <string_view>

namespace ar {

// The text with every well-formed encoded word (B or Q) replaced by its decoded bytes, in
// the charset the word names (no conversion). Blanks between two adjacent encoded words
// are dropped, as the words then form one text. Anything not well formed stays as it is.
std::string DecodeEncodedWords(std::string_view text);

}  // namespace ar
