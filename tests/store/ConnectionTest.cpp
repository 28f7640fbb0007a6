// Database connections: opening failures, locks and time-outs, file modes, and seeding the data folder.
#include "store/DataFolder.h"
#include "store/DatabaseFiles.h"
#include "store/Schema.h"
#include "tests/support/TestDatabases.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace ar {
namespace {

TEST(OpenDatabases, FailsClearlyAndWritesNothing) {
  test::TempFolder folder;
  DatabaseFiles files;
  // Missing files: an error naming the file, and no file created.
  try {
    files.Open(folder.Path());
    FAIL() << "opened a missing database";
  } catch (const DbError& e) {
    EXPECT_NE(std::string(e.what()).find("autoresponder.sto"), std::string::npos);
  }
  EXPECT_FALSE(FileExists(AutoresponderDbPath(folder.Path())));

  // A file that is not a database stays exactly as it was.
  const std::string garbage(5000, 'x');
  test::WriteWholeFile(AutoresponderDbPath(folder.Path()), garbage);
  test::WriteWholeFile(SubscribersDbPath(folder.Path()), garbage);
  EXPECT_THROW(files.Open(folder.Path()), DbError);
  EXPECT_EQ(test::ReadWholeFile(AutoresponderDbPath(folder.Path())), garbage);
  EXPECT_FALSE(files.IsOpen());
}

TEST(OpenDatabases, LockedPastTheTimeOutFails) {
  test::TestDatabases db;
  // Another program holds the file in an exclusive transaction and does not let go.
  db.Config().Scalar("PRAGMA locking_mode=EXCLUSIVE");
  db.Config().Execute("BEGIN EXCLUSIVE");
  db.Config().Execute("update tblStatus set LastPOPStatus=0");
  DatabaseFiles files;
  Connection::Options options;
  options.busyTimeoutMs = 50;
  EXPECT_THROW(files.Open(db.Folder(), options), DbError);
  db.Config().Execute("COMMIT");
}

TEST(OpenDatabases, FilesAreNotWorldReadable) {
  test::TestDatabases db;
  struct stat st{};
  ASSERT_EQ(::stat(AutoresponderDbPath(db.Folder()).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & S_IROTH, 0u);
}

TEST(Concurrency, AWriterWaitsForTheLockInsteadOfFailing) {
  test::TestDatabases db;
  Connection::Options options;
  options.busyTimeoutMs = 10000;
  Connection other = Connection::Open(AutoresponderDbPath(db.Folder()), options);
  db.Config().Execute("BEGIN IMMEDIATE");
  db.Config().Execute("update tblStatus set LastSMTPStatus=-1");

  std::atomic<bool> done{false};
  std::thread writer([&] {
    other.Execute("update tblStatus set LastPOPStatus=-1");
    done = true;
  });
  // Readers go on while the write lock is held (WAL).
  Connection reader = Connection::Open(AutoresponderDbPath(db.Folder()), options);
  EXPECT_EQ(reader.Scalar("select LastSMTPStatus from tblStatus").AsInteger(), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let the writer reach the lock
  EXPECT_FALSE(done);
  db.Config().Execute("COMMIT");
  writer.join();
  EXPECT_TRUE(done);
  EXPECT_EQ(reader.Scalar("select LastSMTPStatus + LastPOPStatus from tblStatus").AsInteger(), -2);
}

TEST(Concurrency, ExclusiveDatabaseLockIsRefusedWhileAProgramHoldsTheFiles) {
  test::TestDatabases db;
  {
    DatabaseFiles files;
    files.Open(db.Folder());
    EXPECT_EQ(TryLockDatabasesExclusive(db.Folder()), -1);
  }
  const int fd = TryLockDatabasesExclusive(db.Folder());
  EXPECT_GE(fd, 0);
  ReleaseDatabaseLock(fd);
}

TEST(SeedDatabases, CopiesOnlyMissingFilesAndNeverOverABackup) {
  test::TempFolder program, data;
  test::WriteWholeFile(program.File("autoresponder.tem"), "A");
  test::WriteWholeFile(program.File("subscribers.tem"), "S");
  test::WriteWholeFile(data.File("subscribers.sto"), "kept");
  EXPECT_EQ(SeedDatabases(program.Path(), data.Path()), "autoresponder.sto");
  EXPECT_EQ(test::ReadWholeFile(data.File("autoresponder.sto")), "A");
  EXPECT_EQ(test::ReadWholeFile(data.File("subscribers.sto")), "kept");

  // A backup without its file is for maintenance to restore.
  ASSERT_EQ(std::rename(data.File("subscribers.sto").c_str(), data.File("subscribers.bak").c_str()), 0);
  EXPECT_EQ(SeedDatabases(program.Path(), data.Path()), "");
  EXPECT_FALSE(FileExists(data.File("subscribers.sto")));

  // A missing initial database is an error, not a silent gap.
  std::remove(data.File("subscribers.bak").c_str());
  std::remove(program.File("subscribers.tem").c_str());
  EXPECT_THROW(SeedDatabases(program.Path(), data.Path()), std::runtime_error);
}

}  // namespace
}  // namespace ar
