#pragma once
// The quoted-printable transfer encoding of a text body (RFC 2045, 6.7).
#include <string>
#include <string_view>

namespace ar {

// Encodes one line of text (without its line end) as one or more wire lines, each
// followed by CR LF and at most 76 characters long: every line but the last ends in a
// soft line break "=". Bytes outside printable ASCII, "=", and a blank or tab at the
// end of the line are written as "=XX".
std::string QuotedPrintableLine(std::string_view line);

}  // namespace ar
