// The processor's command line: the identifier and the debug switch.
#include "processor/CommandLine.h"

#include <gtest/gtest.h>

namespace ar {
namespace {

TEST(ProcessorCommandLine, IdentifierAndDebugSwitch) {
  struct Case { const char* line; int64_t id; bool debug; };
  const Case cases[] = {
      {"0", 0, false},      {"", 0, false},        {"/d", 0, true},       {"/D", 0, true},
      {"12", 12, false},    {"12/d", 12, true},    {"12 /d", 12, true},   {"12 /D", 12, true},
      {"  12", 12, false},  {"12.4", 12, false},   {"12.6", 13, false},   {"12abc", 12, false},
      {"abc", 0, false},    {"-3", -3, false},     {"+7", 7, false},      {"1e2", 100, false},
      {"1e", 1, false},     {".", 0, false},       {"x 12 /d", 0, true},  {"99999999999999999999999", INT64_MAX, false},
  };
  for (const Case& c : cases) {
    const ProcessorCommandLine parsed = ParseProcessorCommandLine(c.line);
    EXPECT_EQ(parsed.autoresponderId, c.id) << "'" << c.line << "'";
    EXPECT_EQ(parsed.debug, c.debug) << "'" << c.line << "'";
  }
}

TEST(ProcessorCommandLine, ArgumentsAreJoinedByOneBlank) {
  char prog[] = "ostrel", a[] = "12", b[] = "/d";
  char* argv[] = {prog, a, b};
  EXPECT_EQ(JoinArguments(3, argv), "12 /d");
  EXPECT_EQ(JoinArguments(1, argv), "");
}

}  // namespace
}  // namespace ar
