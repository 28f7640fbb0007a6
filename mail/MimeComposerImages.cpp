#include "mail/MimeComposerImages.h"

#include "mail/MimeComposerText.h"

#include <algorithm>
#include <cctype>

namespace ar {
namespace {

constexpr std::string_view kSourceMark = "src=\"";

std::string Lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string WithoutLineBreaks(const std::string& text) { return ReplaceAll(ReplaceAll(text, "\r", ""), "\n", ""); }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool IsRemoteImageReference(const std::string& reference) {
  const std::size_t colon = reference.find(':');
  if (colon == std::string::npos || colon < 2) return false;  // "C:" is a drive, not a scheme
  if (!std::isalpha(static_cast<unsigned char>(reference[0]))) return false;
  for (std::size_t i = 1; i < colon; ++i) {
    const unsigned char c = static_cast<unsigned char>(reference[i]);
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
  }
  return Lowered(reference.substr(0, colon)) != "file";
}

std::vector<std::string> CollectImageReferences(const std::string& body) {
  std::vector<std::string> table;
  for (std::size_t mark = FindNoCase(body, kSourceMark); mark != std::string::npos;
       mark = FindNoCase(body, kSourceMark, mark + 1)) {
    std::size_t tagStart = RFindNoCase(body, "<img ", mark);
    if (tagStart == std::string::npos) tagStart = RFindNoCase(body, "<img\r\n", mark);
    if (tagStart == std::string::npos) throw ComposeError("Image source without an <img tag before it");
    const std::size_t close = body.find('>', tagStart);
    const std::string tag = body.substr(tagStart, close == std::string::npos ? std::string::npos : close - tagStart + 1);
    // The tag found may be an earlier <img> without a source; then this mark adds nothing.
    const std::size_t inTag = FindNoCase(tag, kSourceMark);
    if (inTag == std::string::npos) continue;
    const std::size_t valueStart = inTag + kSourceMark.size();
    const std::size_t quote = tag.find('"', valueStart);
    const std::string reference =
        ReplaceAll(tag.substr(valueStart, quote == std::string::npos ? std::string::npos : quote - valueStart), "\"", "");
    if (reference.empty() || IsRemoteImageReference(reference)) continue;
    const std::string lowered = Lowered(reference);
    if (std::any_of(table.begin(), table.end(), [&](const std::string& e) { return Lowered(e) == lowered; })) continue;
    if (table.size() == kMaxImages) throw ComposeError("More than 20 images in the HTML body");
    table.push_back(reference);
  }
  return table;
}

std::string ContentIdOf(const std::string& reference) {
  return ReplaceAll(ReplaceAll(WithoutLineBreaks(FileNamePart(reference)), "%20", " "), "|", ":");
}

std::string ImagePathOf(const std::string& reference) {
  std::string rest = WithoutLineBreaks(reference);
  if (StartsWithNoCase(rest, "file://")) rest.erase(0, 7);
  std::string path;
  path.reserve(rest.size());
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '%' && i + 2 < rest.size() && HexValue(rest[i + 1]) >= 0 && HexValue(rest[i + 2]) >= 0) {
      path += static_cast<char>(HexValue(rest[i + 1]) * 16 + HexValue(rest[i + 2]));
      i += 2;
    } else {
      path += rest[i];
    }
  }
  return path;
}

std::vector<InlineImage> RewriteImages(std::string& body) {
  std::vector<InlineImage> images;
  for (const std::string& reference : CollectImageReferences(body)) {
    InlineImage image{reference, ContentIdOf(reference), ImagePathOf(reference)};
    body = ReplaceAll(body, reference, "cid:" + image.contentId);
    images.push_back(std::move(image));
  }
  return images;
}

}  // namespace ar
