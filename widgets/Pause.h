#pragma once
// The fixed waits of the windows (the list waits 2000 ms after its database work before
// it rebinds). The window keeps painting meanwhile but takes no input, so no other
// operation can start in the middle of one. Tests make the waits instant and see them.
#include <vector>

namespace ar {

class Pause {
 public:
  static void For(int milliseconds);

  // Tests: from now on waits return at once and are recorded.
  static void InstantForTests();
  static void WaitForReal();
  static const std::vector<int>& Recorded();
};

}  // namespace ar
