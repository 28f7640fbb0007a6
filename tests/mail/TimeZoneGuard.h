#pragma once
// Sets the process's local time zone (TZ) for one test and restores the one before.
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace ar::test {

class TimeZoneGuard {
 public:
  explicit TimeZoneGuard(const char* zone) {
    if (const char* before = std::getenv("TZ")) before_ = before;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~TimeZoneGuard() {
    if (before_) ::setenv("TZ", before_->c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
  }
  TimeZoneGuard(const TimeZoneGuard&) = delete;
  TimeZoneGuard& operator=(const TimeZoneGuard&) = delete;

 private:
  std::optional<std::string> before_;
};

}  // namespace ar::test
