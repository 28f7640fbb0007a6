#include "mail/MimeComposer.h"

#include "base/Clock.h"
#include "base/DayNumber.h"
#include "base/Trace.h"
#include "mail/Base64.h"
#include "mail/Charset.h"
#include "mail/CharsetEncodedWord.h"
#include "mail/DateLine.h"
#include "mail/MimeComposerImages.h"
#include "mail/MimeComposerText.h"
#include "store/DataFolder.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <mutex>

namespace ar {
namespace {

constexpr const char* kCrLf = "\r\n";

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Boundary(const char* boundary) { return std::string("--") + boundary + kCrLf; }
std::string ClosingBoundary(const char* boundary) { return std::string("--") + boundary + "--" + kCrLf; }
std::string MultipartLine(const char* subtype, const char* boundary) {
  return std::string("Content-Type: multipart/") + subtype + "; boundary=" + Quoted(boundary) + kCrLf;
}

// A display name as it stands before "<": encoded words outside ASCII, a quoted string
// when it holds characters that would change the address list's meaning.
std::string DisplayName(const std::string& name, const std::string& charset) {
  if (!IsAscii(name)) return EncodeHeaderText(name, charset) + " ";
  if (name.find_first_of("\"(),:;<>@[\\]") == std::string::npos) return name;
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

// The address part of a sender typed as "Name <address>"; any other text as it stands.
std::string AddressPart(const std::string& from) {
  const std::size_t open = from.find('<');
  if (open == std::string::npos) return from;
  const std::size_t close = from.find('>', open);
  return TrimBlanks(from.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1));
}

std::string FromLine(const MailMessageContent& m) {
  const std::string from = TrimBlanks(OneLine(m.from));
  if (m.fromName.empty()) return "From: " + from + kCrLf;
  // The display name given stands before the address part alone: a sender typed with a
  // name of its own must not end up inside the angle brackets.
  return "From: " + DisplayName(TrimBlanks(OneLine(m.fromName)), m.characterSet) + "<" + AddressPart(from) + ">" +
         kCrLf;
}

std::string MessageIdLine(const CivilTime& t, std::int32_t ticks, const std::string& domain) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", t.year % 10000, t.month, t.day, t.hour, t.minute,
                t.second);
  return std::string("Message-Id: <") + stamp + "." + std::to_string(ticks) + "@" + OneLine(domain) + ">" + kCrLf;
}

std::string TextPart(const char* subtype, const WireText& text) {
  return std::string("Content-Type: text/") + subtype + "; charset=" + Quoted(text.charset) + kCrLf +
         "Content-Transfer-Encoding: 8bit" + kCrLf + kCrLf + text.bytes + kCrLf;
}

std::string ImageParts(const std::vector<InlineImage>& images) {
  std::string out;
  for (const InlineImage& image : images) {
    out += Boundary(kRelatedBoundary);
    out += "Content-Type: image/gif; " + MimeParameter("name", image.contentId) + kCrLf;
    out += std::string("Content-Transfer-Encoding: base64") + kCrLf;
    out += "Content-ID: <" + image.contentId + ">" + kCrLf;
    out += kCrLf;
    out += EncodeFileBase64(image.path);
    out += kCrLf;
  }
  return out;
}

// The lines of a text attachment, each followed by CR LF and dot-stuffed.
std::string ReadTextAttachment(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ComposeError("Cannot open the attachment " + path);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw ComposeError("Cannot read the attachment " + path);
  std::string text = NormalizeLineEndings(TextFileBytesToUtf8(bytes));
  if (!text.empty() && (text.size() < 2 || text.compare(text.size() - 2, 2, kCrLf) != 0)) text += kCrLf;
  return DotStuff(text);
}

std::string AttachmentPart(const std::string& path, const std::string& charset) {
  const std::string fileName = FileNamePart(path);
  const std::string name = MimeParameter("name", fileName);
  const std::string disposition = "Content-Disposition: attachment; " + MimeParameter("filename", fileName) + kCrLf;
  std::string out = Boundary(kMixedBoundary);
  if (IsTextAttachment(path)) {
    const WireText text = ToWireText(ReadTextAttachment(path), charset);
    // A text of ASCII only needs no charset parameter.
    const std::string charsetParameter = IsAscii(text.bytes) ? "" : "charset=" + Quoted(text.charset) + "; ";
    out += "Content-Type: text/plain; " + charsetParameter + name + kCrLf;
    out += std::string("Content-Transfer-Encoding: 8bit") + kCrLf;
    out += disposition + kCrLf;
    out += text.bytes;
  } else {
    out += "Content-Type: application/octet-stream; " + name + kCrLf;
    out += std::string("Content-Transfer-Encoding: base64") + kCrLf;
    out += disposition + kCrLf;
    out += kAttachmentMarker;
  }
  return out;
}

// The process's tick sequence; messages may one day be composed on several threads.
std::int32_t UniqueTickCount() {
  static std::mutex mutex;
  static TickSequence sequence;
  const std::lock_guard<std::mutex> lock(mutex);
  return sequence.Next(TickCount());
}

std::string Compose(MailMessageContent& m, const ComposerEnvironment& env) {
  // The HTML body is rewritten even when only the plain text goes out: the caller sees it.
  const std::vector<InlineImage> images = RewriteImages(m.body);

  const double now = env.now ? env.now() : NowDays();
  const std::int32_t ticks = env.tickCount ? env.tickCount() : UniqueTickCount();
  // The offset in force at the moment of this message, not at the start of the run.
  const int bias = env.biasMinutes ? *env.biasMinutes : TimeZoneBiasAt(now);

  std::string out = FromLine(m);
  out += "To: " + TrimBlanks(OneLine(m.to)) + kCrLf;
  if (!m.cc.empty()) out += "Cc: " + TrimBlanks(OneLine(m.cc)) + kCrLf;
  out += MessageIdLine(FromDayNumber(now), ticks, m.emailDomain);
  out += "Subject: " + EncodeHeaderText(TrimBlanks(OneLine(m.subject)), m.characterSet) + kCrLf;
  out += BuildDateHeader(now, bias) + kCrLf;
  if (!m.plainTextOnly) out += std::string("MIME-Version: 1.0") + kCrLf;
  if (!m.replyTo.empty()) out += "Reply-To: " + OneLine(m.replyTo) + kCrLf;

  const std::string plain = TextPart("plain", ToWireText(m.plainTextBody, m.characterSet));
  const bool attachment = !m.attached.empty();
  if (m.plainTextOnly && !attachment) return out + plain;

  const std::string preamble = std::string(kMimePreamble) + kCrLf + kCrLf;
  std::string alternative;  // the alternative part of layouts 4 to 6
  if (!m.plainTextOnly) {
    alternative = MultipartLine("alternative", kAlternativeBoundary) + kCrLf + Boundary(kAlternativeBoundary) + plain +
                  kCrLf + Boundary(kAlternativeBoundary) + TextPart("html", ToWireText(m.body, m.characterSet)) +
                  kCrLf;
  }

  if (m.plainTextOnly) {
    out += MultipartLine("mixed", kMixedBoundary) + kCrLf + Boundary(kMixedBoundary) + plain;
  } else if (!attachment && images.empty()) {
    return out + alternative + kCrLf + ClosingBoundary(kAlternativeBoundary);
  } else {
    std::string related;  // the related part of layouts 4 and 6
    if (!images.empty()) {
      related = Boundary(kRelatedBoundary) + alternative + ClosingBoundary(kAlternativeBoundary) + kCrLf +
                ImageParts(images) + ClosingBoundary(kRelatedBoundary) + kCrLf;
    }
    if (!attachment) {
      return out + MultipartLine("related", kRelatedBoundary) + kCrLf + preamble + related;
    }
    out += MultipartLine("mixed", kMixedBoundary) + kCrLf + preamble + Boundary(kMixedBoundary);
    if (images.empty()) {
      out += alternative + ClosingBoundary(kAlternativeBoundary) + kCrLf;
    } else {
      out += MultipartLine("related", kRelatedBoundary) + kCrLf + related;
    }
  }

  // The SMTP session streams the attachment at the first marker; any other marker in
  // the text would take the file's place.
  if (!IsTextAttachment(m.attached) && out.find(kAttachmentMarker) != std::string::npos)
    throw ComposeError("The message text holds the attachment marker");
  return out + AttachmentPart(m.attached, m.characterSet) + kCrLf + ClosingBoundary(kMixedBoundary);
}

}  // namespace

std::int32_t TickCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const long long ms = static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(ms));
}

std::int32_t TickSequence::Next(std::int32_t tick) {
  const auto t = static_cast<std::uint32_t>(tick);
  last_ = started_ && last_ - t < 1000u ? last_ + 1 : t;
  started_ = true;
  return static_cast<std::int32_t>(last_);
}

bool IsTextAttachment(const std::string& path) {
  return path.size() >= 4 && StartsWithNoCase(std::string_view(path).substr(path.size() - 4), ".txt");
}

std::string CreateMailMessage(MailMessageContent& m, const ComposerEnvironment& env) {
  if (m.characterSet.empty()) m.characterSet = "ISO-8859-1";
  m.body = DotStuff(NormalizeLineEndings(m.body));
  m.plainTextBody = DotStuff(NormalizeLineEndings(m.plainTextBody));

  if (!m.attached.empty() && !FileExists(m.attached)) {
    if (env.logStatus) env.logStatus("Attachment not found: " + m.attached);
    return "";
  }
  try {
    return Compose(m, env);
  } catch (const std::exception& e) {
    TracePop(std::string("ProcessStatus_CreateMailMessage: ") + e.what(), true);
    return "";
  }
}

}  // namespace ar
