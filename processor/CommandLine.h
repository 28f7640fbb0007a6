#pragma once
// The processor's command line: an autoresponder identifier (0 or none: all), and the
// debug switch "/d" anywhere in either letter case.
#include "store/ProgramArguments.h"

#include <cstdint>
#include <string>

namespace ar {

struct ProcessorCommandLine {
  int64_t autoresponderId = 0;
  bool debug = false;
};

ProcessorCommandLine ParseProcessorCommandLine(const std::string& commandLine);

}  // namespace ar
