// The processor's command line as any text: parsed without crashing or reading past it,
// whatever the number's size or the switches around it.
#include "processor/CommandLine.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  ar::ParseProcessorCommandLine(text);
  return 0;
}
