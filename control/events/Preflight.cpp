#include "control/events/Preflight.h"

#include "base/Text.h"
#include "mail/MimeComposerImages.h"
#include "store/DataFolder.h"

#include <map>
#include <optional>
#include <strings.h>

namespace ar {
namespace {

// How the editor shows a link to a place in the same document.
constexpr std::string_view kSameDocumentPrefix = "http:///#";

bool SameTag(const std::string& tagName, const char* tag) { return ::strcasecmp(tagName.c_str(), tag) == 0; }

bool IsWebAddress(const std::string& address) {
  return StartsWithNoCase(address, "http:") || StartsWithNoCase(address, "https:");
}

// The file a file: address or a plain path names. A file: address loses its fragment
// and query and a "localhost" host; percent escapes are decoded as the composer does.
std::string LocalPathOf(const std::string& address) {
  if (!StartsWithNoCase(address, "file:")) return ImagePathOf(address);
  std::string rest = address.substr(5, address.find_first_of("?#") - 5);
  if (rest.starts_with("//")) {
    rest.erase(0, 2);
    if (StartsWithNoCase(rest, "localhost/")) rest.erase(0, 9);
  }
  return ImagePathOf(rest);
}

// Whether an address of an image or hyperlink can be reached; each address once per run.
class AddressCheck {
 public:
  explicit AddressCheck(const UrlCheck& urlResponds) : urlResponds_(urlResponds) {}
  bool Responds(const std::string& address) {
    if (IsWebAddress(address)) {
      auto [known, added] = web_.try_emplace(address, false);
      if (added) known->second = urlResponds_ && urlResponds_(address);
      return known->second;
    }
    // mailto:, cid:, data: and the like lead nowhere the check can go.
    if (IsRemoteImageReference(address)) return true;
    return FileExists(LocalPathOf(address));
  }

 private:
  const UrlCheck& urlResponds_;
  std::map<std::string, bool> web_;
};

// The place in the document a link leads to, when it is a bookmark.
std::optional<std::string> BookmarkName(const std::string& href) {
  if (href.starts_with(kSameDocumentPrefix)) return href.substr(kSameDocumentPrefix.size());
  if (href.starts_with('#')) return href.substr(1);
  return std::nullopt;
}

bool HasBookmark(const std::vector<PreflightElement>& elements, const std::string& bookmark) {
  if (bookmark.empty()) return true;  // "#": the top of the document
  for (const PreflightElement& e : elements)
    if ((SameTag(e.tagName, "A") && e.name == bookmark) || e.id == bookmark) return true;
  return false;
}

}  // namespace

void RunPreflightCheck(const std::string& subject, const std::string& smtpServer,
                       const std::vector<PreflightElement>& elements, const UrlCheck& urlResponds,
                       const PreflightLine& list) {
  list("Testing Subject line...", false);
  if (TrimBlanks(subject).empty()) list("Subject cannot be blank", true);
  if (TrimBlanks(smtpServer).empty()) list("SMTP Server must be entered in the configuration screen", true);
  list("Testing for broken links", false);

  AddressCheck reaches(urlResponds);
  for (const PreflightElement& e : elements) {
    if (SameTag(e.tagName, "IMG")) {
      if (!reaches.Responds(e.src)) {
        list("Broken image - " + e.src, true);
      } else if (IsWebAddress(e.src)) {
        // The composer embeds local files only: this one is fetched by each reader's mail
        // program, which often blocks it.
        list("Remote image, not embedded in the message - " + e.src, true);
      }
    } else if (SameTag(e.tagName, "A") && !e.href.empty()) {
      const std::optional<std::string> bookmark = BookmarkName(e.href);
      if (!bookmark) {
        if (!reaches.Responds(e.href)) list("Broken hyperlink - " + e.href, true);
      } else if (!HasBookmark(elements, *bookmark)) {
        list("Broken bookmark - " + *bookmark, true);
      }
    }
  }
  list("Complete: Check items above for any errors detected", false);
}

}  // namespace ar
