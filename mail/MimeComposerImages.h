#pragma once
// The local images of an HTML body: collected from its <img> tags, rewritten to "cid:"
// references and embedded as image parts.
#include <stdexcept>
#include <string>
#include <vector>

namespace ar {

// An error that makes composition fail; its text goes to the mailbox trace log.
class ComposeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr std::size_t kMaxImages = 20;

struct InlineImage {
  std::string reference;  // as it stands in the HTML
  std::string contentId;  // the part's Content-ID and name, and the body's "cid:" text
  std::string path;       // the file that is embedded
};

// True for a reference that names a web or inline resource rather than a local file:
// a URL scheme of two or more characters other than "file" (http, https, cid, data...).
bool IsRemoteImageReference(const std::string& reference);

// The distinct local image references of the body's <img> tags, in order of first
// appearance (compared without regard to letter case). Throws ComposeError for a source
// mark with no "<img" before it and for a 21st distinct image.
std::vector<std::string> CollectImageReferences(const std::string& body);

// The content identifier of a reference: its file-name part with CR LF removed, "%20"
// as a blank and "|" as ":".
std::string ContentIdOf(const std::string& reference);

// The file a reference names: a "file://" prefix removed (the path's leading "/" stays),
// CR LF removed and every percent escape decoded.
std::string ImagePathOf(const std::string& reference);

// Collects the images of the body and replaces every occurrence of each reference in
// it (case-sensitive) by "cid:" + its content identifier.
std::vector<InlineImage> RewriteImages(std::string& body);

}  // namespace ar
