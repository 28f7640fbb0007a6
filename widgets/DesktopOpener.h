#pragma once
// Opens a file with the program the desktop associates with it (xdg-open). While a test
// records, the request is kept instead and nothing is started.
#include <string>
#include <vector>

namespace ar {

class DesktopOpener {
 public:
  // False when the desktop could not open it.
  static bool Open(const std::string& path);

  // Tests: keep every request from now on (Opened()) instead of opening it.
  static void RecordForTests();
  static void OpenForReal();
  static const std::vector<std::string>& Opened();
};

}  // namespace ar
