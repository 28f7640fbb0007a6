#pragma once
// What this process has used so far: processor time shows the cost of the work itself on
// a busy machine, whatever share of the processor the process got; the peak resident
// memory shows whether memory grows with the work.
#include <sys/resource.h>

namespace bench {

// Processor seconds (user and system).
inline double CpuSeconds() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

inline long PeakRssKiB() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

}  // namespace bench
