// The summary report file and the daily summary timer, with the failures each meets.
#include "control/program/SummaryReport.h"

#include "base/DayNumber.h"
#include "base/FileMode.h"
#include "base/Trace.h"
#include "store/DataFolder.h"
#include "store/Schema.h"
#include "tests/support/ClockGuard.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestData.h"
#include "tests/support/TestDatabases.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <sys/stat.h>

namespace ar::test {
namespace {

using ::testing::HasSubstr;

const double kNow = Day(2024, 3, 15, 12, 0, 0);
constexpr double kHour = 1.0 / 24;

// Both databases, the reports folder, the control program's trace file and a fixed clock.
class ReportFixture {
 public:
  ReportFixture() {
    MakeFolders(db.Folder() + "/reports");
    SetTraceFile(TracePath());
  }
  ~ReportFixture() { SetTraceFile(""); }

  std::string TracePath() const { return db.Folder() + "/debug/tracelog.log"; }
  std::string Trace() const { return FileExists(TracePath()) ? ReadWholeFile(TracePath()) : ""; }
  std::string Report() const { return ReadWholeFile(SummaryReportPath(db.Folder())); }
  void Create() { CreateSummaryReport(db.Config(), db.Subscribers(), db.Folder()); }

  int64_t AddEvent(int64_t autoresponder, const Value& name, const Value& days, bool active) {
    return test::InsertEvent(db.Config(), autoresponder,
                             {{"EventName", name}, {"EventInterval", days}, {"Active", active}});
  }
  // lastEvent and sent Null: a subscriber never sent anything.
  void AddSubscriber(int64_t autoresponder, const Value& lastEvent = Null{}, const Value& sent = Null{},
                     const Value& unsubscribed = Null{}) {
    test::InsertSubscriber(db.Subscribers(), autoresponder,
                           {{"EmailAddress", "someone@example.com"}, {"LastAutoresponderEventID", lastEvent},
                            {"LastEventSentTime", sent}, {"UnsubscribeDate", unsubscribed}});
  }
  void SetLastRun(int64_t autoresponder, double when) {
    db.Config().Execute("update tblAutoresponders set LastRespondTime=? where AutoresponderID=?", {when, autoresponder});
  }

  ClockGuard clock{kNow};
  TestDatabases db;
};

// ---- The report against an exact expected file ----

struct ReportCase {
  std::string name;
  // Fills the databases and returns the expected report.
  std::function<std::string(ReportFixture&)> setup;
};

void PrintTo(const ReportCase& c, std::ostream* os) { *os << c.name; }

std::vector<ReportCase> ReportCases() {
  return {
      {"NoActiveAutoresponder",
       [](ReportFixture& f) {
         const int64_t id = f.db.AddAutoresponder("Resting", false);
         f.AddEvent(id, "Welcome", 0, true);
         f.AddSubscriber(id, Null{}, Null{});
         return std::string();
       }},
      {"AutoresponderWithoutEvents",
       [](ReportFixture& f) {
         const int64_t id = f.db.AddAutoresponder("Newsletter", true);
         f.AddSubscriber(id);
         f.AddSubscriber(id, Null{}, Null{}, kNow - 2);  // unsubscribed rows count too
         f.AddSubscriber(id, 99, kNow - kHour);
         return std::string(
             "Autoresponder Name: Newsletter\n"
             "      Subscribers: 3\n"
             "      Sent Last 24hrs: 1\n"
             "      Last Run Time: Not run yet\n");
       }},
      {"SubscriberSentTwoEventsCountsOnceUnderTheLast",
       [](ReportFixture& f) {
         const int64_t id = f.db.AddAutoresponder("Course", true);
         const int64_t first = f.AddEvent(id, "Lesson 1", 0, true);
         const int64_t second = f.AddEvent(id, "Lesson 2", 0, true);
         f.AddSubscriber(id, second, kNow - kHour);        // sent Lesson 1 and then Lesson 2 today
         f.AddSubscriber(id, first, kNow - 1 + kHour / 60); // within the 24 hours by a minute
         f.AddSubscriber(id, first, kNow - 1);              // exactly 24 hours ago: outside
         f.AddSubscriber(id, second, kNow - 3);
         return std::string(
             "Autoresponder Name: Course\n"
             "      Subscribers: 4\n"
             "      Sent Last 24hrs: 2\n"
             "      Last Run Time: Not run yet\n"
             "   Event Name: Lesson 1\n"
             "      Days: 0\n"
             "      Active: True\n"
             "      Sent Last 24hrs: 1\n"
             "   Event Name: Lesson 2\n"
             "      Days: 0\n"
             "      Active: True\n"
             "      Sent Last 24hrs: 1\n");
       }},
      {"InactiveEventsListedInDayOrderAcrossActiveAutoresponders",
       [](ReportFixture& f) {
         const int64_t a = f.db.AddAutoresponder("Alpha", true);
         const int64_t resting = f.db.AddAutoresponder("Resting", false);
         const int64_t b = f.db.AddAutoresponder("Beta", true);
         f.AddEvent(a, "Reminder", 7, false);
         f.AddEvent(a, "Welcome", 0, true);
         f.AddEvent(a, "Follow-up", 7, true);
         f.AddEvent(resting, "Hidden", 0, true);
         f.AddEvent(b, "Only", 2, false);
         f.SetLastRun(a, Day(2024, 3, 14, 9, 30, 5));
         return "Autoresponder Name: Alpha\n"
                "      Subscribers: 0\n"
                "      Sent Last 24hrs: 0\n"
                "      Last Run Time: " +
                FormatGeneralDateTime(Day(2024, 3, 14, 9, 30, 5)) +
                "\n"
                "   Event Name: Welcome\n"
                "      Days: 0\n"
                "      Active: True\n"
                "      Sent Last 24hrs: 0\n"
                "   Event Name: Reminder\n"
                "      Days: 7\n"
                "      Active: False\n"
                "      Sent Last 24hrs: 0\n"
                "   Event Name: Follow-up\n"
                "      Days: 7\n"
                "      Active: True\n"
                "      Sent Last 24hrs: 0\n"
                "Autoresponder Name: Beta\n"
                "      Subscribers: 0\n"
                "      Sent Last 24hrs: 0\n"
                "      Last Run Time: Not run yet\n"
                "   Event Name: Only\n"
                "      Days: 2\n"
                "      Active: False\n"
                "      Sent Last 24hrs: 0\n";
       }},
      {"NullNamesLeaveOnlyTheLabel",
       [](ReportFixture& f) {
         const int64_t id = f.db.AddAutoresponder("x", true);
         f.db.Config().Execute("update tblAutoresponders set AutoresponderName=NULL where AutoresponderID=?", {id});
         f.AddEvent(id, Null{}, 1, true);
         return std::string(
             "Autoresponder Name: \n"
             "      Subscribers: 0\n"
             "      Sent Last 24hrs: 0\n"
             "      Last Run Time: Not run yet\n"
             "   Event Name: \n"
             "      Days: 1\n"
             "      Active: True\n"
             "      Sent Last 24hrs: 0\n");
       }},
      {"QuoteInNameIsWrittenAsItStands",
       [](ReportFixture& f) {
         const int64_t id = f.db.AddAutoresponder("Ann's list", true);
         f.AddEvent(id, "Don't miss", 3, true);
         return std::string(
             "Autoresponder Name: Ann's list\n"
             "      Subscribers: 0\n"
             "      Sent Last 24hrs: 0\n"
             "      Last Run Time: Not run yet\n"
             "   Event Name: Don't miss\n"
             "      Days: 3\n"
             "      Active: True\n"
             "      Sent Last 24hrs: 0\n");
       }},
  };
}

class SummaryReportFile : public ::testing::TestWithParam<ReportCase> {};

TEST_P(SummaryReportFile, WritesExactly) {
  ReportFixture f;
  const std::string expected = GetParam().setup(f);
  f.Create();
  EXPECT_EQ(f.Report(), expected);
  EXPECT_EQ(f.Trace(), "");
}

INSTANTIATE_TEST_SUITE_P(Cases, SummaryReportFile, ::testing::ValuesIn(ReportCases()),
                         [](const auto& info) { return info.param.name; });

TEST(SummaryReport, ReplacesEarlierFileAndKeepsItPrivate) {
  ReportFixture f;
  const std::string path = SummaryReportPath(f.db.Folder());
  EXPECT_EQ(path, f.db.Folder() + "/reports/summaryreport.txt");
  WriteWholeFile(path, "an older and much longer report\nwith a second line\n");
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
  f.Create();
  EXPECT_EQ(f.Report(), "");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777 & ~kPrivateFileMode, 0u) << std::oct << (st.st_mode & 07777);

  ::unlink(path.c_str());
  f.Create();
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777 & ~kPrivateFileMode, 0u) << std::oct << (st.st_mode & 07777);
}

// ---- Errors stop the report and are traced; the caller never hears of them ----

TEST(SummaryReport, MissingSubscriberTableStopsTheReportAndIsTraced) {
  ReportFixture f;
  const int64_t broken = f.db.AddAutoresponder("Broken", true);
  f.db.AddAutoresponder("Fine", true);
  DropSubscriberTable(f.db.Subscribers(), broken);

  ASSERT_NO_THROW(f.Create());
  EXPECT_EQ(f.Report(), "Autoresponder Name: Broken\n");
  EXPECT_THAT(f.Trace(), HasSubstr(" basAutoResponderSpecific:CreateSummaryReport: "));
  EXPECT_THAT(f.Trace(), HasSubstr("no such table"));

  // The failed report left the file free for the next one.
  CreateSubscriberTable(f.db.Subscribers(), broken);
  f.Create();
  EXPECT_THAT(f.Report(), HasSubstr("Autoresponder Name: Fine\n"));
}

TEST(SummaryReport, MissingReportsFolderIsTraced) {
  ReportFixture f;
  f.db.AddAutoresponder("Newsletter", true);
  ASSERT_EQ(::rmdir((f.db.Folder() + "/reports").c_str()), 0);
  ASSERT_NO_THROW(f.Create());
  EXPECT_THAT(f.Trace(), HasSubstr("basAutoResponderSpecific:CreateSummaryReport: cannot open "));
}

TEST(SummaryReport, UnwritableTraceDoesNotReachTheCaller) {
  ReportFixture f;
  const int64_t broken = f.db.AddAutoresponder("Broken", true);
  DropSubscriberTable(f.db.Subscribers(), broken);
  SetTraceFile(f.db.Folder() + "/no-such-folder/tracelog.log");
  EXPECT_NO_THROW(f.Create());
  EXPECT_EQ(f.Report(), "Autoresponder Name: Broken\n");
}

// ---- The daily timer ----

struct DueCase {
  const char* name;
  Value enabled;
  Value time;
  double now;
  bool due;
};

void PrintTo(const DueCase& c, std::ostream* os) { *os << c.name; }

const DueCase kDueCases[] = {
    {"MorningAtMinuteStart", kYes, "9:00am", Day(2024, 3, 15, 9, 0, 0), true},
    {"MorningAtMinuteEnd", kYes, "9:00am", Day(2024, 3, 15, 9, 0, 59), true},
    {"MorningSecondBefore", kYes, "9:00am", Day(2024, 3, 15, 8, 59, 59), false},
    {"MorningMinuteAfter", kYes, "9:00am", Day(2024, 3, 15, 9, 1, 0), false},
    {"MorningIsNotEvening", kYes, "9:00am", Day(2024, 3, 15, 21, 0, 0), false},
    {"EveningAtMinuteStart", kYes, "21:30", Day(2024, 3, 15, 21, 30, 0), true},
    {"EveningAtMinuteEnd", kYes, "21:30", Day(2024, 3, 15, 21, 30, 59), true},
    {"EveningIsNotMorning", kYes, "21:30", Day(2024, 3, 15, 9, 30, 0), false},
    {"EveningMinuteAfter", kYes, "21:30", Day(2024, 3, 15, 21, 31, 0), false},
    {"AnyTrueValueEnables", 1, "21:30", Day(2024, 3, 15, 21, 30, 0), true},
    {"Disabled", kNo, "9:00am", Day(2024, 3, 15, 9, 0, 0), false},
    {"EnableNull", Null{}, "9:00am", Day(2024, 3, 15, 9, 0, 0), false},
    {"TimeNull", kYes, Null{}, Day(2024, 3, 15, 0, 0, 0), false},
    {"TimeEmpty", kYes, "", Day(2024, 3, 15, 0, 0, 0), false},
};

class DailySummaryTimer : public ::testing::TestWithParam<DueCase> {};

TEST_P(DailySummaryTimer, MatchesTheConfiguredMinute) {
  ReportFixture f;
  const DueCase& c = GetParam();
  f.db.Config().Execute("update tblConfiguration set EnableDailySummaryEmail=?, SummaryReportEmailTime=?",
                        {c.enabled, c.time});
  EXPECT_EQ(DailySummaryDue(f.db.Config(), c.now), c.due);
  EXPECT_EQ(f.Trace(), "");
}

INSTANTIATE_TEST_SUITE_P(Cases, DailySummaryTimer, ::testing::ValuesIn(kDueCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DailySummaryTimerFailure, UnreadableTimeIsNotDueAndIsTracedOnce) {
  ReportFixture f;
  f.db.Config().Execute("update tblConfiguration set EnableDailySummaryEmail=-1, SummaryReportEmailTime='soon'");
  EXPECT_FALSE(DailySummaryDue(f.db.Config(), Day(2024, 3, 15, 0, 0, 0)));
  const std::string trace = f.Trace();
  EXPECT_THAT(trace, HasSubstr("\"soon\""));
  EXPECT_EQ(std::count(trace.begin(), trace.end(), '\n'), 1);

  SetTraceFile(f.db.Folder() + "/no-such-folder/tracelog.log");
  bool due = true;
  EXPECT_NO_THROW(due = DailySummaryDue(f.db.Config(), Day(2024, 3, 15, 0, 0, 0)));
  EXPECT_FALSE(due);
}

}  // namespace
}  // namespace ar::test
