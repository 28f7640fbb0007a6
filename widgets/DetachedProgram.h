#pragma once
// Starts another program with its arguments, without a shell and without waiting for it
// (the external editor). While a test records, the request is kept instead and nothing is
// started.
#include <string>
#include <vector>

namespace ar {

class DetachedProgram {
 public:
  // command[0] is the program (looked up on PATH), the rest its arguments. False when it
  // could not be started.
  static bool Start(const std::vector<std::string>& command);

  // Tests: keep every request from now on (Started()) instead of starting it.
  static void RecordForTests();
  static void StartForReal();
  static const std::vector<std::vector<std::string>>& Started();
};

}  // namespace ar
