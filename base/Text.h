#pragma once
// Text searches and trimming shared by the mail code and the mailbox intake. Letter case
// is compared for ASCII letters only.
#include <cstddef>
#include <string>
#include <string_view>

namespace ar {

// Blanks and tabs removed from both ends.
std::string TrimBlanks(std::string_view text);

// Case-insensitive search; npos when absent.
std::size_t FindNoCase(std::string_view text, std::string_view what, std::size_t from = 0);
// The last occurrence that starts at or before `atOrBefore`; npos when absent.
std::size_t RFindNoCase(std::string_view text, std::string_view what, std::size_t atOrBefore);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// The text with every CR and LF removed.
std::string WithoutLineBreaks(std::string_view text);

// The numeric value of the text's leading part: blanks first are skipped, and reading
// stops at the first character that cannot continue a number (sign, digits, a decimal
// point, an exponent with digits); no number at all gives 0.
double LeadingNumber(std::string_view text);

// The leftmost characters of a UTF-8 text, at most `size` of them.
std::string LeftCharacters(const std::string& text, std::size_t size);

}  // namespace ar
