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

// The sender and the subject of what a mailbox server sent for one message: the first
// line beginning "From:" / "Subject:" (any letter case) right after a line end, that
// physical line only; empty when there is none. The sender is the bare address of that
// line, blanks and tabs around it removed.
std::string MessageSender(std::string_view received);
std::string MessageSubject(std::string_view received);

}  // namespace ar
