#pragma once
#include <string>

namespace ar {

// A program reads its command line as its arguments joined by one blank.
inline std::string JoinArguments(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += ' ';
    line += argv[i];
  }
  return line;
}

}  // namespace ar
