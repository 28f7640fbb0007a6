#pragma once
// RFC 2047 encoded words for header texts outside ASCII (subject, display names).
#include <string>
#include <string_view>

namespace ar {

// A header text as it is written after the field name. Pure ASCII comes back unchanged;
// other text becomes "Q" encoded words in the charset ToWireText chooses for
// `declared`, each at most 66 characters long (so that a line never passes 76), never
// splitting a character, separated by CR LF and one blank (a folded header). Only
// letters, digits and "!*+-/" stand for themselves, so the words are valid in a
// display name as well as in unstructured text.
std::string EncodeHeaderText(std::string_view text, std::string_view declared);

// A MIME parameter such as name or filename: `name="value"` for ASCII values (with "\"
// and "\\" escaped), otherwise, and for values holding control characters, the RFC 2231
// form `name*=UTF-8''value` with every byte outside letters, digits and
// "!#$&+-.^_`|~" percent-escaped.
std::string MimeParameter(std::string_view name, std::string_view value);

}  // namespace ar
