// The composer's image collector over any HTML body: it either throws its own error or
// gives distinct references that the rewrite then replaces, and never reads past the text.
#include "mail/MimeComposerImages.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string body(reinterpret_cast<const char*>(data), size);
  try {
    const auto references = ar::CollectImageReferences(body);
    if (references.size() > ar::kMaxImages) std::abort();
    for (const std::string& reference : references) {
      ar::ContentIdOf(reference);
      ar::ImagePathOf(reference);
      ar::IsRemoteImageReference(reference);
    }
    ar::RewriteImages(body);
  } catch (const ar::ComposeError&) {
  }
  return 0;
}
