#pragma once
// Opens a file with the program the desktop associates with it (xdg-open); tests see
// the request instead.
#include <functional>
#include <string>

namespace ar {

class DesktopOpener {
 public:
  // False when the desktop could not open it.
  static bool Open(const std::string& path);
  static void SetRecorder(std::function<void(const std::string& path)> recorder);
};

}  // namespace ar
