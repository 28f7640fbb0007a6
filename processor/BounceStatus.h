#pragma once
// Recognises delivery failure reports, so that their senders are not subscribed.
#include <string>
#include <string_view>

namespace ar {

// A delivery status code ("5.1.1", "4.4.7", ...) when the message text (header fields,
// an empty line, the body) looks like a delivery report, else the empty text. The
// enhanced status code is looked for in the body only: reports carry it there, while
// header fields of ordinary mail hold version numbers of the same shape (a spam
// checker's "SpamAssassin 4.0.0 (2022-12-13)", a mail client's "4.1.1 (GTK"). The
// phrases of reports are looked for in the whole text, subject included.
std::string GetBounceStatusCode(std::string_view messageText);

}  // namespace ar
