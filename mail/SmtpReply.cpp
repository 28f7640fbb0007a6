#include "mail/SmtpReply.h"

#include "base/Text.h"

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

std::string EnhancedStatusCode(const SmtpReply& reply) {
  // "550 5.1.1 text" or "550-5.1.1 text": class, subject and detail of one to three digits.
  const std::string text = TrimBlanks(reply.text);
  if (text.size() < 9 || (text[3] != ' ' && text[3] != '-')) return "";
  std::size_t at = 4;
  while (at < text.size() && text[at] == ' ') ++at;
  const std::size_t start = at;
  if (at >= text.size() || (text[at] != '2' && text[at] != '4' && text[at] != '5')) return "";
  ++at;
  for (int part = 0; part < 2; ++part) {
    if (at >= text.size() || text[at] != '.') return "";
    const std::size_t digits = ++at;
    while (at < text.size() && IsDigit(text[at]) && at - digits < 3) ++at;
    if (at == digits) return "";
  }
  if (at < text.size() && text[at] != ' ') return "";
  return text.substr(start, at - start);
}

bool RefusesSession(const SmtpReply& reply) {
  const std::string status = EnhancedStatusCode(reply);
  if (status.starts_with("5.1.") || status.starts_with("5.2.")) return false;
  if (reply.code == 530 || reply.code == 535 || reply.code == 538) return true;
  static constexpr std::string_view kSessionPhrases[] = {
      "relay access denied", "relaying denied", "relay denied",        "relay not permitted",
      "not permitted to relay", "relaying not allowed", "unable to relay", "authentication required",
      "authentication is required", "must issue a starttls",
  };
  for (std::string_view phrase : kSessionPhrases)
    if (FindNoCase(reply.text, phrase) != std::string::npos) return true;
  return false;
}

bool RefusesRecipientOfMessage(const SmtpReply& reply, std::string_view recipient) {
  const std::string status = EnhancedStatusCode(reply);
  if (status.starts_with("5.1.") || status == "5.2.1") return true;
  return !recipient.empty() && FindNoCase(reply.text, recipient) != std::string::npos;
}

SmtpReply MissingReply(std::string description) {
  SmtpReply reply;
  reply.kind = SmtpReply::Kind::Missing;
  reply.text = std::move(description);
  return reply;
}

}  // namespace ar
