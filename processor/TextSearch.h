#pragma once
// Text searches of the mailbox intake; letter case is ignored (ASCII letters).
#include <string>
#include <string_view>

namespace ar::text {

// Position of the first occurrence of needle at or after from, or npos.
size_t FindNoCase(std::string_view haystack, std::string_view needle, size_t from = 0);
// Position of the last occurrence of needle that starts before end, or npos.
size_t FindLastNoCase(std::string_view haystack, std::string_view needle, size_t end);

std::string TrimBlanks(std::string_view text);

// The text between the first start mark and the next end mark after it, trimmed; empty
// when either mark is missing.
std::string ExtractBetween(std::string_view text, std::string_view startMark, std::string_view endMark);
// The text between the first end mark and the last start mark before it, trimmed; empty
// when either mark is missing.
std::string ExtractString(std::string_view text, std::string_view startMark, std::string_view endMark);

}  // namespace ar::text
