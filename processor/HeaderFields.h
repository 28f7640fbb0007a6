#pragma once
// The header fields of a received message (RFC 5322): the lines up to the first empty
// line, each field with its folded continuation lines.
#include <optional>
#include <string>
#include <string_view>

namespace ar {

// The message's header block: its lines up to (not including) the first empty line, each
// ended by CR LF. A text beginning with CR LF has an empty header block; a last line that
// never ends is not part of it (a message cut short).
std::string_view HeaderBlock(std::string_view message);

// The value of the first field of that name (any letter case) in the header block,
// unfolded (each CR LF in front of a blank or tab removed) and trimmed of blanks and
// tabs; nullopt when the message has no such field. A bare CR or LF stays in the value.
std::optional<std::string> HeaderField(std::string_view message, std::string_view name);

}  // namespace ar
