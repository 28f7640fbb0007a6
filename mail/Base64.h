#pragma once
// Base64 (RFC 2045 alphabet, "=" padding) in the three shapes the mail code needs: a
// short text in one line (AUTH LOGIN credentials), a file as a block of lines (inline
// images) and a file streamed line by line (binary attachments on the SMTP socket).
// File lines carry 54 bytes of the file each: 72 characters followed by CR LF, the last
// line shorter, and an empty line when the file length is a multiple of 54.
#include <functional>
#include <string>
#include <string_view>

namespace ar {

// The base64 form of a text of bytes in one line, padded with "=" to a multiple of 4.
std::string Base64_encode(std::string_view text);

// The alphabet character of a 6-bit value; the empty string (and a forced trace line)
// for a value outside 0 to 63.
std::string memeencode(int value);

// Same result as Base64_encode; the name the file encoders use for one 54-byte group.
std::string EncodeBase64Bytes(std::string_view bytes);

// The whole file as base64 lines, each followed by CR LF. A file that cannot be opened
// gives the empty string; a read error ends the text where it happened.
std::string EncodeFileBase64(const std::string& path);

// Receives one base64 line of a streamed file, CR LF included. An exception thrown by
// the sink (a failed socket send) ends the streaming and reaches the caller.
using Base64LineSink = std::function<void(std::string_view line)>;

// Streams the same lines as EncodeFileBase64 to the sink, one at a time, holding one
// 54-byte group in memory. A file that cannot be opened sends nothing; a read error stops
// the streaming and the remainder is not sent. Returns the number of lines sent.
long long SendFileBase64(const std::string& path, const Base64LineSink& sendLine);

}  // namespace ar
