#pragma once
// A request to stop the work in hand, made by a signal handler (SIGTERM, SIGINT) or by
// another thread. Work loops ask Requested() between steps; a socket given the token
// ends its blocking waits when the request comes, instead of after its time-out.
#include <atomic>

namespace ar {

class StopToken {
 public:
  StopToken();
  ~StopToken();
  StopToken(const StopToken&) = delete;
  StopToken& operator=(const StopToken&) = delete;

  // Async-signal-safe: may be called from a signal handler.
  void Request();
  bool Requested() const { return requested_.load(std::memory_order_relaxed); }
  // Becomes readable once a stop was requested, for poll() beside a socket.
  int WakeFd() const { return pipe_[0]; }

 private:
  static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");
  std::atomic<bool> requested_{false};
  int pipe_[2] = {-1, -1};
};

}  // namespace ar
