#pragma once
// CreateMailMessage: the complete text of one event message (header lines and MIME
// body) ready to follow the SMTP DATA command, without the closing "." line.
//
// The structure follows from three facts: plain text only or HTML with a plain-text
// alternative, an attachment or none, local images in the HTML body or none. Local
// images are embedded as base64 parts and referenced as "cid:"; a ".txt" attachment is
// written inline; any other attachment is left as the attachment marker, which the SMTP
// session replaces by the file's base64 lines while sending.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace ar {

inline constexpr const char* kMixedBoundary = "MixedBoundary.11111111.11111111";
inline constexpr const char* kAlternativeBoundary = "AlternativeBoundary.22222222.22222222";
inline constexpr const char* kRelatedBoundary = "RelatedBoundary.33333333.33333333";
inline constexpr const char* kMimePreamble = "This message is in MIME format and may not be readable by your email reader";
inline constexpr const char* kAttachmentMarker = "*****ATTACHMENT*****";

// The content of one message. body, plainTextBody and characterSet are changed in place
// (line endings, dot-stuffing, "cid:" references, the default charset) and the caller
// sees the changes.
struct MailMessageContent {
  bool plainTextOnly = false;  // the event's PlainTextOnly column
  std::string subject;
  std::string from;
  std::string to;
  std::string replyTo;        // may be empty
  std::string body;           // HTML body, may be empty
  std::string plainTextBody;
  std::string attached;       // full path of the attachment file, empty for none
  std::string characterSet;   // the charset the text parts declare; empty means ISO-8859-1
  std::string cc;             // copy address, may be empty
  std::string emailDomain;    // domain of the Message-Id
  std::string fromName;       // sender display name, may be empty
};

// What the composer reads from its surroundings; tests replace each of them.
struct ComposerEnvironment {
  std::function<double()> now;                           // local day number; default: the process clock
  std::function<std::int32_t()> tickCount;               // default: TickCount(), kept unique
  std::optional<int> biasMinutes;                        // default: the bias in force at now
  std::function<void(const std::string&)> logStatus;     // the processor's progress list
};

// A ".txt" attachment (any letter case) is written inline as text; any other is sent as
// base64 at the attachment marker.
bool IsTextAttachment(const std::string& path);

// Milliseconds of CLOCK_MONOTONIC as a signed 32-bit number (it wraps).
std::int32_t TickCount();

// The tick of a Message-Id is kept ahead of the one before: two messages composed in one
// millisecond (two events to one subscriber) would otherwise share a Message-Id, and a
// receiver that drops a repeated Message-Id would lose the second. A tick behind or equal
// to the last by less than a second becomes the last plus one; any other stands.
class TickSequence {
 public:
  std::int32_t Next(std::int32_t tick);

 private:
  bool started_ = false;
  std::uint32_t last_ = 0;  // unsigned, so that the counter wraps as the tick does
};

// The message text, lines separated by CR LF; the empty string when composition fails.
// A missing attachment file is reported through logStatus ("Attachment not found: " +
// path); any other failure writes the forced trace line
// "ProcessStatus_CreateMailMessage: " + its description.
std::string CreateMailMessage(MailMessageContent& message, const ComposerEnvironment& environment = {});

}  // namespace ar
