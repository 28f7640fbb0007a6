#pragma once
// Recognises delivery failure reports, so that their senders are not subscribed.
#include <string>
#include <string_view>

namespace ar {

// A delivery status code ("5.1.1", "4.4.7", ...) when the message text looks like a
// delivery report, else the empty text.
std::string GetBounceStatusCode(std::string_view messageText);

}  // namespace ar
