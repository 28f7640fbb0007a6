// The "Date: " line: its shape, and the local offset of the moment it is made for.
#include "mail/DateLine.h"

#include "base/DayNumber.h"
#include "mail/MimeComposer.h"
#include "tests/mail/TimeZoneGuard.h"
#include "tests/support/ClockGuard.h"

#include <gtest/gtest.h>

namespace ar {
namespace {

double At(int year, int month, int day, int hour, int minute, int second) {
  return ToDayNumber(CivilTime{year, month, day, hour, minute, second, 0});
}

TEST(DateLine, OffsetText) {
  const std::pair<int, std::string> cases[] = {{-60, "+0100"}, {300, "-0500"}, {-330, "+0530"}, {0, "+0000"},
                                               {120, "-0200"}, {-765, "+1245"}};
  for (const auto& [bias, text] : cases) EXPECT_EQ(OffsetText(bias), text) << bias;
}

TEST(DateLine, MondayFifthOfJanuary2009) {
  const double moment = At(2009, 1, 5, 14, 3, 9);
  EXPECT_EQ(BuildDateHeader(moment, -60), "Date: Mon, 5 Jan 2009 14:03:09 +0100");
  EXPECT_EQ(BuildDateHeader(moment, 120), "Date: Mon, 5 Jan 2009 14:03:09 -0200");

  test::ClockGuard clock(moment);
  EXPECT_EQ(BuildDateHeader(-60), "Date: Mon, 5 Jan 2009 14:03:09 +0100");
  EXPECT_EQ(BuildDateHeader(), "Date: Mon, 5 Jan 2009 14:03:09 " + OffsetText(GetTimeZoneOffset()));
}

TEST(DateLine, DayAndMonthNamesAndDigits) {
  const std::pair<double, std::string> cases[] = {
      {At(2023, 12, 31, 0, 0, 0), "Date: Sun, 31 Dec 2023 00:00:00 +0000"},
      {At(2024, 2, 29, 23, 59, 59), "Date: Thu, 29 Feb 2024 23:59:59 +0000"},
      {At(2010, 7, 3, 9, 5, 1), "Date: Sat, 3 Jul 2010 09:05:01 +0000"},
      {At(2010, 7, 3, 9, 5, 1) + 0.9996 / 86400.0, "Date: Sat, 3 Jul 2010 09:05:02 +0000"},  // rounded to the ms
  };
  for (const auto& [moment, line] : cases) EXPECT_EQ(BuildDateHeader(moment, 0), line);
}

// Berlin changes to summer time at 02:00 on 31 March 2024 and back at 03:00 on
// 27 October 2024. Each moment takes the offset in force then, whatever the wall clock
// says now.
TEST(DateLine, OffsetOfTheMomentAcrossDaylightSavingChanges) {
  test::TimeZoneGuard berlin("Europe/Berlin");
  const std::pair<double, std::string> cases[] = {
      {At(2024, 3, 31, 1, 59, 59), "Date: Sun, 31 Mar 2024 01:59:59 +0100"},
      {At(2024, 3, 31, 3, 0, 0), "Date: Sun, 31 Mar 2024 03:00:00 +0200"},
      {At(2024, 10, 27, 1, 59, 59), "Date: Sun, 27 Oct 2024 01:59:59 +0200"},
      {At(2024, 10, 27, 3, 0, 0), "Date: Sun, 27 Oct 2024 03:00:00 +0100"},
      {At(2009, 1, 5, 14, 3, 9), "Date: Mon, 5 Jan 2009 14:03:09 +0100"},
      {At(2010, 7, 3, 9, 5, 1), "Date: Sat, 3 Jul 2010 09:05:01 +0200"},
  };
  for (const auto& [moment, line] : cases) {
    EXPECT_EQ(BuildDateHeader(moment), line);
    test::ClockGuard clock(moment);
    EXPECT_EQ(BuildDateHeader(), line);
    EXPECT_EQ(OffsetText(GetTimeZoneOffset()), line.substr(line.size() - 5));
  }
}

// A message composed without a given bias is dated with the offset of its own moment,
// so the messages of one run on either side of the change differ.
TEST(DateLine, TheComposerTakesTheOffsetOfEachMessage) {
  test::TimeZoneGuard berlin("Europe/Berlin");
  auto dateOf = [](const std::string& message) {
    const std::size_t at = message.find("\r\nDate: ");
    return at == std::string::npos ? std::string() : message.substr(at + 2, message.find("\r\n", at + 2) - at - 2);
  };
  auto compose = [](const ComposerEnvironment& environment) {
    MailMessageContent m;
    m.plainTextOnly = true;
    m.from = "ann@example.com";
    m.to = "bob@example.com";
    m.subject = "Lesson";
    m.plainTextBody = "Hello";
    return CreateMailMessage(m, environment);
  };
  ComposerEnvironment environment;
  environment.tickCount = [] { return 1; };
  {
    test::ClockGuard clock(At(2024, 3, 31, 1, 59, 59));
    EXPECT_EQ(dateOf(compose(environment)), "Date: Sun, 31 Mar 2024 01:59:59 +0100");
  }
  {
    test::ClockGuard clock(At(2024, 3, 31, 3, 0, 0));
    EXPECT_EQ(dateOf(compose(environment)), "Date: Sun, 31 Mar 2024 03:00:00 +0200");
  }
  environment.now = [] { return At(2024, 10, 27, 3, 0, 1); };
  EXPECT_EQ(dateOf(compose(environment)), "Date: Sun, 27 Oct 2024 03:00:01 +0100");
  environment.biasMinutes = -120;  // a bias given by the caller stands
  EXPECT_EQ(dateOf(compose(environment)), "Date: Sun, 27 Oct 2024 03:00:01 +0200");
}

}  // namespace
}  // namespace ar
