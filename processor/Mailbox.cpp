#include "processor/Mailbox.h"

#include "base/Text.h"
#include "base/Trace.h"

#include <cmath>

namespace ar {

void SessionMailbox::Fail(const std::string& what) {
  TracePop(what);
  session_.Sock().Abort();
}

long long LeadingCount(std::string_view text) {
  const double v = LeadingNumber(text);
  return std::isfinite(v) ? std::llround(v) : 0;
}

void KeepOnly(std::string& text, std::string_view part) {
  if (part.empty()) {
    text.clear();
    return;
  }
  const std::size_t start = static_cast<std::size_t>(part.data() - text.data());
  text.erase(start + part.size());
  text.erase(0, start);
}

}  // namespace ar
