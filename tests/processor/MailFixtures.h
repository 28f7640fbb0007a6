#pragma once
// Whole messages as mail servers deliver them (CR LF line ends), kept as files in
// tests/fixtures/mail.
#include "tests/support/TempFolder.h"

#include <string>

namespace ar::test {

inline std::string MailFixture(const std::string& file) {
  return ReadWholeFile(std::string(AR_TEST_FIXTURES) + "/mail/" + file);
}

}  // namespace ar::test
