#pragma once
// The header extractors of the mailbox intake; marks are found with letter case ignored.
#include "processor/MailboxAddress.h"

#include <string>
#include <string_view>

namespace ar {

// The text between the first start mark and the next end mark after it, trimmed; empty
// when either mark is missing.
std::string ExtractBetween(std::string_view text, std::string_view startMark, std::string_view endMark);
// The text between the first end mark and the last start mark before it, trimmed; empty
// when either mark is missing.
std::string ExtractString(std::string_view text, std::string_view startMark, std::string_view endMark);

// The sender of a message: the first mailbox of its From field. Only the header block
// is read: a "From:" line quoted in the body is not the sender's.
MailboxAddress SenderOf(std::string_view message);
// The subject of a message: its Subject field, unfolded, encoded words decoded; empty
// when there is none.
std::string SubjectOf(std::string_view message);

// The same for what a mailbox server sent for one message: its first line (the reply's
// status line, the FETCH line) is the server's and is skipped. The sender is the address
// alone, empty when there is no well-formed one.
std::string MessageSender(std::string_view received);
std::string MessageSubject(std::string_view received);

}  // namespace ar
