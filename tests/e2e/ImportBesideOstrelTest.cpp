// A large subscriber import into the list that the real ostrel is sending to at the same
// time: the import's short write transactions let every write of the processing run
// through well within a busy time-out far shorter than its default, so the run sends and
// records every due message while the import goes on.
#include "control/subscribers/SubscriberImport.h"
#include "store/DataFolder.h"
#include "store/DatabaseFiles.h"
#include "store/PresenceMarker.h"
#include "store/Schema.h"
#include "tests/support/CountingSmtpSink.h"
#include "tests/support/OstrelFolder.h"

#include <gtest/gtest.h>

namespace ar {
namespace {

TEST(ImportBesideOstrel, ARunSendsAndRecordsEveryMessageWhileALargeImportWritesTheSameList) {
  constexpr int kDue = 400;
  test::CountingSmtpSink sink;
  test::OstrelFolder folder;
  folder.SetSmtpServer(sink.Address());
  const int64_t id = folder.AddAutoresponder("news");
  folder.AddEvent(id, "day one", 1);
  folder.AddSubscribers(id, "old", kDue, 1);  // joined yesterday: the event of one day is due
  std::string content = "Name,Email\r\n";
  for (int i = 0; i < 50000; ++i) content += "Reader,new" + std::to_string(i) + "@example.org\r\n";
  test::WriteWholeFile(folder.Path() + "/import.csv", content);

  DatabaseFiles files;
  files.Open(folder.Path());
  test::Subprocess ostrel("ostrel", {std::to_string(id)},
                          folder.Environment({"AUTORESPONDER_DB_TIMEOUT_MS=5000"}));
  ASSERT_TRUE(test::WaitUntil([&] { return PresenceMarker::Exists("ostrel", folder.Path()); }));
  // Imports the file again and again for as long as the run lasts; rows imported today
  // are not due, so they change nothing the run sends.
  int64_t imported = 0, batches = 0;
  long long sentBeforeImport = -1;
  while (PresenceMarker::Exists("ostrel", folder.Path())) {
    SubscriberImport import(files.subscribers, id, folder.Path() + "/import.csv", 2);
    if (sentBeforeImport < 0) sentBeforeImport = sink.Count();
    while (import.Step() && PresenceMarker::Exists("ostrel", folder.Path())) ++batches;
    imported += import.RowsAdded();
  }
  const test::ProcessResult run = ostrel.Wait();
  ASSERT_EQ(run.exitCode, 0) << run.err;

  EXPECT_LT(sentBeforeImport, kDue) << "the import began before the pass ended";
  EXPECT_GT(batches, 5) << "and went on until the run ended";
  EXPECT_EQ(sink.Count(), kDue);
  const std::string table = SubscriberTable(id);
  EXPECT_EQ(files.subscribers.Scalar("select count(*) from " + table + " where EmailAddress like 'old%'"
                                     " and LastEventSentTime is not null").AsInteger(),
            kDue);
  EXPECT_EQ(files.subscribers.Scalar("select count(*) from " + table + " where EmailAddress like 'new%'").AsInteger(),
            imported);
  EXPECT_EQ(files.config.Scalar("select LastSMTPStatus from tblStatus").AsInteger(), 0);
  EXPECT_EQ(test::ReadWholeFile(folder.Path() + "/debug/tracepop.log"), "") << "the run had no error to trace";
}

}  // namespace
}  // namespace ar
