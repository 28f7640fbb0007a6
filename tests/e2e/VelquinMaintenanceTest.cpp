// The real velquin stopped, politely or not, at many points of its database maintenance
// and started again: no row is ever lost. And a backup left without its database is
// restored, never replaced by an empty initial database.
#include "store/DataFolder.h"
#include "store/DatabaseFiles.h"
#include "store/DurableFile.h"
#include "store/Schema.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TempFolder.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

namespace ar {
namespace {

constexpr int64_t kSubscribers = 1'000'000;
constexpr int64_t kEvents = 40;

std::vector<std::string> Environment(const std::string& folder) {
  return {"AUTORESPONDER_DATA=" + folder, "DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=", "NOTIFY_SOCKET="};
}

off_t FileSize(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

// A data folder made from the initial databases, holding one autoresponder with its
// events and a million subscribers, each address spelt from its row's identifier.
void FillDataFolder(const std::string& folder) {
  ASSERT_TRUE(CopyFile(std::string(AR_BIN_DIR) + "/autoresponder.tem", AutoresponderDbPath(folder)));
  ASSERT_TRUE(CopyFile(std::string(AR_BIN_DIR) + "/subscribers.tem", SubscribersDbPath(folder)));
  Connection config = Connection::Open(AutoresponderDbPath(folder));
  config.Execute("insert into tblAutoresponders (AutoresponderID, AutoresponderName, Active) values (1, 'big', -1)");
  config.Execute(
      "insert into tblAutoresponderEvents (AutoresponderID, EventName, EventInterval, Active) "
      "with recursive n(i) as (select 1 union all select i+1 from n where i<?) "
      "select 1, 'event ' || i, i, -1 from n",
      {kEvents});
  // Written in one go without a journal: the test's own data, made before anyone reads it.
  Connection subscribers = Connection::Open(SubscribersDbPath(folder));
  subscribers.Scalar("PRAGMA journal_mode=OFF");
  subscribers.Execute("PRAGMA synchronous=OFF");
  CreateSubscriberTable(subscribers, 1);
  subscribers.Execute(
      "insert into [1] (SubscriberID, EmailAddress, AddedDate) "
      "with recursive n(i) as (select 1 union all select i+1 from n where i<?) "
      "select i, printf('s%07d@example.com', i), 45000 + i / 100000.0 from n",
      {kSubscribers});
}

// Rows of both databases that are still exactly what FillDataFolder wrote.
int64_t IntactRows(const std::string& folder) {
  DatabaseFiles files;
  files.Open(folder);
  const int64_t events = files.config
                             .Scalar("select count(*) from tblAutoresponderEvents "
                                     "where AutoresponderID=1 and EventName='event ' || EventInterval")
                             .AsInteger();
  const int64_t subscribers =
      files.subscribers
          .Scalar("select count(*) from [1] where EmailAddress=printf('s%07d@example.com', SubscriberID) "
                  "and AddedDate=45000 + SubscriberID / 100000.0")
          .AsInteger();
  const int64_t autoresponders =
      files.config.Scalar("select count(*) from tblAutoresponders where AutoresponderName='big'").AsInteger();
  return events + subscribers + autoresponders;
}

TEST(VelquinMaintenance, StoppedAtAnyPointAndStartedAgainItLosesNoRow) {
  test::TempFolder data;
  FillDataFolder(data.Path());
  if (HasFatalFailure()) return;
  const int64_t rows = IntactRows(data.Path());
  ASSERT_EQ(rows, kSubscribers + kEvents + 1);
  const std::string subscribers = SubscribersDbPath(data.Path());
  const std::string copy = PendingPath(subscribers);
  const off_t size = FileSize(subscribers);
  const auto traced = [&](const char* line) {
    return [&, line] { return test::ReadWholeFile(data.File("debug/trace.log")).find(line) != std::string::npos; };
  };
  // The compacted copy of this start being written, once the file has been moved to its
  // backup: under its temporary name (or, were it written in place, under the final one).
  const auto copied = [&](int percent) {
    return [&, percent] {
      return traced("Compacting subscribers.sto")() && FileExists(data.File("subscribers.bak")) &&
             std::max(FileSize(copy), FileSize(subscribers)) >= size * percent / 100;
    };
  };

  struct StopPoint {
    const char* where;
    std::function<bool()> reached;
    int signal;
  };
  // Each start goes on from the state the stop before left.
  const StopPoint points[] = {
      {"copying the subscribers, a third done", copied(33), SIGTERM},
      {"copying the subscribers, two thirds done", copied(66), SIGKILL},
      {"restoring the backup, then compacting again", traced("Compacting subscribers.sto"), SIGKILL},
      {"maintenance done", traced("Opening db connections"), SIGTERM},
      {"checking the copy beside its backup", traced("Backing up subscribers.sto"), SIGKILL},
      {"compacting the configuration database", traced("Compacting autoresponder.sto"), SIGTERM},
      {"copying the subscribers, nearly done", copied(90), SIGKILL},
      {"copying the subscribers, just begun", copied(1), SIGTERM},
  };
  for (const StopPoint& point : points) {
    SCOPED_TRACE(point.where);
    test::WriteWholeFile(data.File("debug/trace.log"), "");
    test::Subprocess velquin("velquin", {"/s", "/d"}, Environment(data.Path()));
    // A point passed unseen (a busy machine) still stops it, later: at the latest once
    // maintenance is over.
    const auto start = std::chrono::steady_clock::now();
    test::WaitUntil([&] { return point.reached() || traced("Opening db connections")(); }, std::chrono::seconds(60));
    const auto reached = std::chrono::steady_clock::now();
    ASSERT_EQ(::kill(velquin.Pid(), point.signal), 0);
    const test::ProcessResult r = velquin.Wait(std::chrono::seconds(60));
    std::printf("[ stop     ] %-45s reached after %5lld ms, ended %5lld ms later\n", point.where,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(reached - start).count()),
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - reached).count()));
    if (point.signal == SIGTERM) {
      // Honoured at a safe point: the program ends of itself, its databases whole.
      EXPECT_EQ(r.exitCode, 0) << r.err;
      EXPECT_TRUE(FileExists(subscribers));
      EXPECT_FALSE(FileExists(copy));
    }
  }

  // A last start that runs to its end.
  test::WriteWholeFile(data.File("debug/trace.log"), "");
  test::Subprocess velquin("velquin", {"/s", "/d"}, Environment(data.Path()));
  ASSERT_TRUE(test::WaitUntil(traced("Mode type: 0"), std::chrono::seconds(60)));
  ASSERT_EQ(::kill(velquin.Pid(), SIGTERM), 0);
  EXPECT_EQ(velquin.Wait(std::chrono::seconds(60)).exitCode, 0);
  EXPECT_EQ(IntactRows(data.Path()), rows);
  for (const char* f : {"autoresponder.sto.new", "subscribers.sto.new", "autoresponder.sto.damaged", "subscribers.sto.damaged"})
    EXPECT_FALSE(FileExists(data.File(f))) << f;
  std::printf("[ rows     ] %lld rows checked after every stop\n", static_cast<long long>(rows));
}

TEST(VelquinMaintenance, ABackupWithoutItsDatabaseIsRestored) {
  struct Case {
    const char* name;
    const char* problem;
  };
  for (const Case& c : {Case{"autoresponder", "There was a problem compacting Autoresponder database and a backup"},
                        Case{"subscribers", "There was a problem compacting Autoresponder's subscriber database"}}) {
    SCOPED_TRACE(c.name);
    test::TempFolder data;
    ASSERT_TRUE(CopyFile(std::string(AR_BIN_DIR) + "/autoresponder.tem", AutoresponderDbPath(data.Path())));
    ASSERT_TRUE(CopyFile(std::string(AR_BIN_DIR) + "/subscribers.tem", SubscribersDbPath(data.Path())));
    {
      DatabaseFiles files;
      files.Open(data.Path());
      files.config.Execute("insert into tblAutoresponders (AutoresponderID, AutoresponderName) values (1, 'kept')");
      CreateSubscriberTable(files.subscribers, 1);
      files.subscribers.Execute("insert into [1] (EmailAddress) values ('kept@example.com')");
    }
    // A crash between moving the database aside and writing its compacted copy.
    const std::string sto = data.File(std::string(c.name) + ".sto");
    ASSERT_TRUE(MoveFile(sto, data.File(std::string(c.name) + ".bak")));

    const test::ProcessResult r = test::RunProgram("velquin", {}, Environment(data.Path()));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find(c.problem), std::string::npos) << r.err;
    DatabaseFiles files;
    files.Open(data.Path());
    EXPECT_EQ(files.config.Scalar("select AutoresponderName from tblAutoresponders").AsText(), "kept");
    EXPECT_EQ(files.subscribers.Scalar("select EmailAddress from [1]").AsText(), "kept@example.com");
  }
}

}  // namespace
}  // namespace ar
