#pragma once
// "A top-level window titled T exists" between the programs: a marker named after the
// title and the data folder, held by the process while its window exists and released by
// the kernel when the process ends, so a crash leaves no stale marker. It is an abstract
// unix socket name; it needs no display. The same mechanism is each program's
// single-instance test.
#include <string>

namespace ar {

class PresenceMarker {
 public:
  PresenceMarker() = default;
  ~PresenceMarker() { Release(); }
  PresenceMarker(const PresenceMarker&) = delete;
  PresenceMarker& operator=(const PresenceMarker&) = delete;

  // Takes the marker; false when another process holds it already.
  bool Acquire(const std::string& title, const std::string& dataFolder);
  void Release();
  bool Held() const { return fd_ >= 0; }

  static bool Exists(const std::string& title, const std::string& dataFolder);

 private:
  int fd_ = -1;
};

}  // namespace ar
