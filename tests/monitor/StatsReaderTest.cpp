// One refresh's reading of the databases and the lines it adds to the event list: the
// outcome of each new run once, and a failure to read once until it is over.
#include "base/DayNumber.h"
#include "monitor/RefreshLines.h"
#include "monitor/StatsReader.h"
#include "store/DatabaseFiles.h"
#include "tests/monitor/MonitorData.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <gmock/gmock.h>

namespace ar {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using test::kNow;
using test::MonitorData;

void SetStatus(MonitorData& data, Value lastRun, Value newSubscribers, Value sent, Value smtp, Value pop) {
  data.db.Config().Execute(
      "update tblStatus set LastOstrelRun=?, LastNewSubscribers=?, LastEmailsSent=?, LastSMTPStatus=?, LastPOPStatus=?",
      {lastRun, newSubscribers, sent, smtp, pop});
}

TEST(StatsReader, ReadsTheStatusRowAndTheFourFigures) {
  MonitorData data;
  const int64_t id = data.db.AddAutoresponder("a1", true);
  data.AddSubscriber(id, 0.5, 0.5, 0.5);
  data.AddSubscriber(id, 0.5);
  SetStatus(data, kNow - 0.01, 4, 7, -1, Value());

  StatsReader reader(data.db.Folder());
  const DatabaseFigures f = reader.Read();
  ASSERT_EQ(f.error, "");
  ASSERT_TRUE(f.status);
  EXPECT_EQ(f.status->lastOstrelRun, Value(kNow - 0.01));
  EXPECT_EQ(f.status->lastNewSubscribers, 4);
  EXPECT_EQ(f.status->lastEmailsSent, 7);
  EXPECT_TRUE(f.status->smtpError);
  EXPECT_FALSE(f.status->popError);  // Null is good
  EXPECT_EQ(f.emailsSent, 1);
  EXPECT_EQ(f.newSubscribers, 2);
  EXPECT_EQ(f.unsubscribes, 1);
  EXPECT_EQ(f.activeAutoresponders, "1");

  data.db.Config().Execute("delete from tblStatus");
  EXPECT_FALSE(reader.Read().status);
}

TEST(StatsReader, MissingDatabasesAreReportedOnceAndReadOnceTheyAppear) {
  MonitorData data;
  const std::string folder = data.db.Folder();
  ASSERT_EQ(std::rename(AutoresponderDbPath(folder).c_str(), (folder + "/put-aside").c_str()), 0);

  StatsReader reader(folder);
  RefreshLines lines;
  std::vector<std::string> added;
  for (int refresh = 0; refresh < 3; ++refresh) {
    const DatabaseFigures f = reader.Read();
    EXPECT_NE(f.error.find("autoresponder.sto"), std::string::npos) << f.error;
    EXPECT_FALSE(reader.IsOpen());
    for (const std::string& line : lines.For(f)) added.push_back(line);
  }
  ASSERT_EQ(added.size(), 1u);
  EXPECT_EQ(added[0].rfind("The databases cannot be read: cannot open ", 0), 0u) << added[0];
  EXPECT_EQ(data.TraceLinesWith(" frmtamsel_load: cannot open "), 1u) << data.Trace();
  EXPECT_EQ(data.TraceLinesWith(" frmtamsel:RefreshStats: cannot open "), 1u) << data.Trace();

  ASSERT_EQ(std::rename((folder + "/put-aside").c_str(), AutoresponderDbPath(folder).c_str()), 0);
  const DatabaseFigures f = reader.Read();
  EXPECT_EQ(f.error, "");
  EXPECT_TRUE(reader.IsOpen());
  EXPECT_THAT(lines.For(f), ElementsAre("The databases can be read again", "Last processed:  - New: 0 - Sent: 0"));
}

TEST(StatsReader, AFailedReadOpensTheConnectionsAfreshNextTime) {
  MonitorData data;
  StatsReader reader(data.db.Folder());
  ASSERT_EQ(reader.Read().error, "");
  data.db.Config().Execute("alter table tblStatus rename to tblGone");
  const DatabaseFigures failed = reader.Read();
  EXPECT_NE(failed.error.find("tblStatus"), std::string::npos) << failed.error;
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_EQ(data.TraceLinesWith(" frmtamsel:RefreshStats: select * from tblStatus"), 1u) << data.Trace();

  data.db.Config().Execute("alter table tblGone rename to tblStatus");
  EXPECT_EQ(reader.Read().error, "");
}

TEST(StatsReader, OtherProgramsWriteWhileTheMonitorHoldsItsConnections) {
  MonitorData data;
  StatsReader reader(data.db.Folder());
  ASSERT_EQ(reader.Read().error, "");
  EXPECT_NO_THROW(data.db.Config().Execute("update tblStatus set LastEmailsSent=3"));
  EXPECT_EQ(reader.Read().status->lastEmailsSent, 3);
}

TEST(RefreshLines, TheFirstRefreshAddsTheLastRunAndLaterOnesOnlyAChange) {
  StatusRow row;
  row.lastOstrelRun = Value(kNow);
  row.lastNewSubscribers = 2;
  row.lastEmailsSent = 5;
  DatabaseFigures f;
  f.status = row;
  const std::string line = "Last processed: " + FormatGeneralDateTime(kNow) + " - New: 2 - Sent: 5";

  RefreshLines lines;
  EXPECT_THAT(lines.For(f), ElementsAre(line));
  EXPECT_THAT(lines.For(f), IsEmpty());
  f.status->lastEmailsSent = 9;  // only a new run time makes a new line
  EXPECT_THAT(lines.For(f), IsEmpty());
  f.status->lastOstrelRun = Value(kNow + 0.1);
  EXPECT_THAT(lines.For(f), ElementsAre("Last processed: " + FormatGeneralDateTime(kNow + 0.1) + " - New: 2 - Sent: 9"));

  DatabaseFigures noRow;
  EXPECT_THAT(RefreshLines().For(noRow), IsEmpty());
}

}  // namespace
}  // namespace ar
