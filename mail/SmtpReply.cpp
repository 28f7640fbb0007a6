#include "mail/SmtpReply.h"

#include "store/Text.h"

namespace ar {

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

SmtpReply JudgeReplyLine(std::string_view line) {
  SmtpReply reply;
  reply.text = WithoutLineBreaks(line);
  const std::string trimmed = TrimBlanks(reply.text);
  const char first = trimmed.empty() ? '\0' : trimmed[0];
  switch (first) {
    case '1':
    case '2':
    case '3': reply.kind = SmtpReply::Kind::Positive; break;
    case '4': reply.kind = SmtpReply::Kind::Transient; break;
    case '5': reply.kind = SmtpReply::Kind::Permanent; break;
    default: reply.kind = SmtpReply::Kind::Garbled; return reply;
  }
  reply.replyClass = first;
  if (trimmed.size() >= 3 && IsDigit(trimmed[1]) && IsDigit(trimmed[2]))
    reply.code = (trimmed[0] - '0') * 100 + (trimmed[1] - '0') * 10 + (trimmed[2] - '0');
  return reply;
}

SmtpReply MissingReply(std::string description) {
  SmtpReply reply;
  reply.kind = SmtpReply::Kind::Missing;
  reply.text = std::move(description);
  return reply;
}

}  // namespace ar
