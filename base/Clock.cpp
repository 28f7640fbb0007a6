#include "base/Clock.h"

#include "base/DayNumber.h"

#include <atomic>
#include <chrono>
#include <ctime>
#include <mutex>

namespace ar {
namespace {
std::mutex g_mutex;
std::optional<double> g_fixed;
}  // namespace

double NowDays() {
  {
    std::lock_guard lock(g_mutex);
    if (g_fixed) return *g_fixed;
  }
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t secs = system_clock::to_time_t(now);
  const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&secs, &local);
  CivilTime t{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
              local.tm_hour,        local.tm_min,     local.tm_sec, static_cast<int>(ms)};
  return ToDayNumber(t);
}

void SetClock(double days) {
  std::lock_guard lock(g_mutex);
  g_fixed = days;
}

void AdvanceClock(double days) {
  const double now = NowDays();
  SetClock(now + days);
}

void ResetClock() {
  std::lock_guard lock(g_mutex);
  g_fixed.reset();
}

}  // namespace ar
