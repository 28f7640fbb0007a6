#pragma once
// "A top-level window titled T exists" between the programs: a marker named after the
// title and the data folder, held by the process while its window exists. It is an
// exclusive flock on a lock file inside the data folder (owner and group only), so only a
// user who may use the data folder can hold it; the kernel releases it when the process
// ends, so a crash leaves no stale marker, and it needs no display. The same mechanism is
// each program's single-instance test.
#include <string>

namespace ar {

class PresenceMarker {
 public:
  PresenceMarker() = default;
  ~PresenceMarker() { Release(); }
  PresenceMarker(const PresenceMarker&) = delete;
  PresenceMarker& operator=(const PresenceMarker&) = delete;

  // Takes the marker; false when another process holds it already (or the lock file
  // cannot be opened).
  bool Acquire(const std::string& title, const std::string& dataFolder);
  void Release();
  bool Held() const { return fd_ >= 0; }

  // Whether a process holds the marker. Creates nothing and needs only read access to
  // the lock file, so a reader who may not write the data folder can ask too.
  static bool Exists(const std::string& title, const std::string& dataFolder);

  // The lock file of a title: the title with every character other than letters,
  // digits, '-' and '_' written as '_', and ".lock".
  static std::string LockPath(const std::string& title, const std::string& dataFolder);

 private:
  int fd_ = -1;
};

}  // namespace ar
