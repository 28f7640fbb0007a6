#pragma once
// Text encodings of the mail code. Text inside the system is UTF-8; files that are not
// valid UTF-8 are read as Windows-1252. On the wire each text part is sent in the
// charset it declares: ISO-8859-1 when the text fits it, otherwise UTF-8.
#include <string>
#include <string_view>

namespace ar {

bool IsAscii(std::string_view text);

// Charset names compare without regard to letter case.
bool SameCharsetName(std::string_view a, std::string_view b);

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF, no cut-off
// sequence at the end.
bool IsValidUtf8(std::string_view text);

// True when the valid UTF-8 text holds only code points up to U+00FF.
bool FitsLatin1(std::string_view utf8);

// UTF-8 to ISO-8859-1 bytes; the text must fit (FitsLatin1).
std::string Utf8ToLatin1(std::string_view utf8);
std::string Latin1ToUtf8(std::string_view latin1);
// Windows-1252 bytes to UTF-8; the five unassigned bytes stand for the C1 controls.
std::string Windows1252ToUtf8(std::string_view bytes);

// The bytes of a text file as UTF-8: valid UTF-8 as it stands (without a leading byte
// order mark), anything else read as Windows-1252.
std::string TextFileBytesToUtf8(std::string_view bytes);

// Text of a part on the wire: the charset it declares and its bytes in that charset.
struct WireText {
  std::string charset;
  std::string bytes;
};

// Chooses how a text goes out when the message asks for `declared`. Pure ASCII keeps
// the declared charset and its bytes. Other text keeps an ISO-8859-1 declaration when it
// fits (and is converted to it), keeps a UTF-8 declaration, and otherwise declares UTF-8.
// Text that is not valid UTF-8 is taken as Windows-1252 first.
WireText ToWireText(std::string_view text, std::string_view declared);

}  // namespace ar
