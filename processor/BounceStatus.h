#pragma once
// Recognises delivery failure reports, so that their senders are not subscribed.
#include <string>
#include <string_view>

namespace ar {

// A delivery status code ("5.1.1", "4.4.7", ...) when the message text (header fields,
// an empty line, the body) is a delivery report, else the empty text. A message is a
// report when its header says so: a Content-Type of multipart/report, a null
// Return-Path ("<>"), a sender whose local part is MAILER-DAEMON or postmaster, or a
// subject that reports begin with ("Undeliverable", "Returned mail", ...). The code is
// then the first enhanced status code of the body, or 5.1.1 when it has none. Any other
// message is a report only when its body holds an enhanced status code AND the text
// holds one of the phrases of reports ("unknown user", " 550 ", ...): either alone is
// common in people's mail ("I paid 550 dollars", "version 2.1.3 is out").
//
// The enhanced status code is looked for in the body only: reports carry it there,
// while header fields of ordinary mail hold version numbers of the same shape (a spam
// checker's "SpamAssassin 4.0.0 (2022-12-13)", a mail client's "4.1.1 (GTK"). The
// phrases are looked for in the whole text, subject included.
std::string GetBounceStatusCode(std::string_view messageText);

}  // namespace ar
