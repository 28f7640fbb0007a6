#include "mail/MessageId.h"

#include "base/DayNumber.h"

#include <atomic>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <random>
#include <unistd.h>

namespace ar {

namespace {

std::uint32_t ProcessRandom() {
  static const std::uint32_t value = [] {
    std::random_device device;
    return static_cast<std::uint32_t>(device());
  }();
  return value;
}

// Letters, digits, "-" and "." only: a dot-atom that needs no quoting in any reader.
std::string IdDomain(const std::string& domain) {
  std::string out;
  for (unsigned char c : domain)
    if (std::isalnum(c) || c == '-' || c == '.') out += static_cast<char>(c);
  while (!out.empty() && out.front() == '.') out.erase(0, 1);
  while (!out.empty() && out.back() == '.') out.pop_back();
  if (out.size() > 200) out.resize(200);
  return out.empty() ? "localhost" : out;
}

}  // namespace

std::string NewMessageId(double localDays, const std::string& domain) {
  static std::atomic<std::uint64_t> counter{0};
  const CivilTime t = FromDayNumber(localDays);
  char left[96];
  std::snprintf(left, sizeof left, "%04d%02d%02d%02d%02d%02d.%ld.%llu.%08x", t.year % 10000, t.month, t.day, t.hour,
                t.minute, t.second, static_cast<long>(::getpid()),
                static_cast<unsigned long long>(counter.fetch_add(1) + 1), ProcessRandom());
  return std::string("<") + left + "@" + IdDomain(domain) + ">";
}

}  // namespace ar
