#pragma once
// The header extractors of the mailbox intake; marks are found with letter case ignored.
#include <string>
#include <string_view>

namespace ar {

// The text between the first start mark and the next end mark after it, trimmed; empty
// when either mark is missing.
std::string ExtractBetween(std::string_view text, std::string_view startMark, std::string_view endMark);
// The text between the first end mark and the last start mark before it, trimmed; empty
// when either mark is missing.
std::string ExtractString(std::string_view text, std::string_view startMark, std::string_view endMark);

}  // namespace ar
