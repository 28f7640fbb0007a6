#pragma once
// The verdict on one SMTP reply, by the reply classes of RFC 5321, taken from the last
// line of the reply (the one without "-" after its code).
#include <string>
#include <string_view>

namespace ar {

struct SmtpReply {
  enum class Kind {
    Positive,   // 1xx, 2xx or 3xx: the dialogue goes on
    Transient,  // 4xx: refused for now, worth trying again later
    Permanent,  // 5xx: refused for good
    Garbled,    // the line holds no reply class: the server does not speak SMTP
    Missing,    // no complete reply came: the connection was lost or the server fell silent
  };
  Kind kind = Kind::Missing;
  char replyClass = 0;  // the first digit, '1' to '5'; 0 when Garbled or Missing
  int code = 0;         // the three digits of the code; 0 when the line does not start with them
  std::string text;     // the line without its line end, or the socket's error when Missing

  // 2xx: the command (or the message) was accepted.
  bool Completed() const { return replyClass == '2'; }
  // 421: the server is closing the connection; a failure of the server, not of the message.
  bool ServiceClosing() const { return code == 421; }
};

// The enhanced status code of a reply (RFC 3463: "5.1.1" after the reply code), or the
// empty text when it carries none.
std::string EnhancedStatusCode(const SmtpReply& reply);

// Whether a permanent refusal of RCPT TO is about the session rather than the recipient:
// authentication required or refused (530, 535, 538), or relaying denied. Such a refusal
// would meet every recipient alike, so it says nothing about this one. A code of class
// 5.1 or 5.2 (the address, the mailbox) is always the recipient's.
bool RefusesSession(const SmtpReply& reply);

// Whether a permanent refusal of the message's end names the recipient: a code of the
// address (5.1.x) or of a disabled mailbox (5.2.1), or the address itself in the text.
// Any other refusal there is of the message, and would meet every recipient alike.
bool RefusesRecipientOfMessage(const SmtpReply& reply, std::string_view recipient);

// Judges the last line of a reply, line end included or not. Leading blanks are skipped
// (a reply "   354 go ahead" is positive).
SmtpReply JudgeReplyLine(std::string_view line);
// A reply that never came, with the socket's description of why.
SmtpReply MissingReply(std::string description);

}  // namespace ar
