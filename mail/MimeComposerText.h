#pragma once
// Text helpers of the MIME composer: line endings, dot-stuffing, header values and the
// file-name part of a path.
#include "base/Text.h"

#include <string>
#include <string_view>

namespace ar {

// Every line ending (CR LF, a lone LF, a lone CR) becomes CR LF, so that no bare LF or
// CR reaches the SMTP data.
std::string NormalizeLineEndings(std::string_view text);

// A second "." in front of every line that begins with "." (lines separated by CR LF).
std::string DotStuff(std::string_view text);

// A header value on one line: every CR and LF becomes a blank.
std::string OneLine(std::string_view text);

// The text after the last "\"; when there is none, after the last "/"; at most 200
// characters.
std::string FileNamePart(std::string_view path);


// Every occurrence of `what` (case-sensitive) replaced by `with`.
std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with);

}  // namespace ar
