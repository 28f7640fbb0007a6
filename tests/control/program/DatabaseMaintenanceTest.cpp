// Compaction at start: backups beside sound files only, stop requests, file modes, files held by others.
#include "control/program/DatabaseMaintenance.h"
#include "store/DataFolder.h"
#include "store/DatabaseFiles.h"
#include "store/DurableFile.h"
#include "store/Schema.h"
#include "tests/support/TestDatabases.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace ar {
namespace {

// The data folder's files after maintenance, and whether each database still holds the
// row written before.
struct Outcome {
  std::vector<std::string> problems;
  bool autoresponderBak, subscribersBak;
};

class Maintenance : public ::testing::Test {
 protected:
  void SetUp() override {
    db.Config().Execute("insert into tblAutoresponders (AutoresponderName, Active) values ('kept', -1)");
    db.Subscribers().Execute("insert into tblDeDupe (TheCount, EmailAddress) values (1, 'kept@example.com')");
    db.Config().Close();
    db.Subscribers().Close();
  }
  std::string File(const char* name) { return db.Folder() + "/" + name; }
  MaintenanceOutcome Run(std::function<void(const std::string&, const std::string&)> compact = {}) {
    MaintenanceHooks hooks;
    hooks.compact = std::move(compact);
    hooks.problem = [this](const std::string& text) { problems.push_back(text); };
    hooks.stopRequested = [this] { return stop; };
    return MaintainDatabases(db.Folder(), hooks);
  }
  void ExpectDataIntact() {
    db.Reopen();
    EXPECT_EQ(db.Config().Scalar("select AutoresponderName from tblAutoresponders").AsText(), "kept");
    EXPECT_EQ(db.Subscribers().Scalar("select EmailAddress from tblDeDupe").AsText(), "kept@example.com");
  }

  test::TestDatabases db;
  std::vector<std::string> problems;
  bool stop = false;
};

TEST_F(Maintenance, CompactsEachFileAndKeepsOneBackup) {
  for (int start = 0; start < 2; ++start) {
    EXPECT_EQ(Run(), MaintenanceOutcome::Done);
    for (const char* f : {"autoresponder.sto", "autoresponder.bak", "subscribers.sto", "subscribers.bak"})
      EXPECT_TRUE(FileExists(File(f))) << f << " after start " << start;
    EXPECT_TRUE(problems.empty());
    ExpectDataIntact();
    db.Config().Close();
    db.Subscribers().Close();
  }
}

TEST_F(Maintenance, LeftoverBackupsAndFailedCompactions) {
  struct Case {
    const char* name;
    const char* missingSto;    // removed after a backup is made of it, as an interrupted start leaves it
    const char* failCompactOf; // the compaction of this file leaves nothing
    std::vector<std::string> problems;
  };
  const Case cases[] = {
      {"backup of the main database without its file", "autoresponder", nullptr, {kProblemTextA}},
      {"backup of the subscriber database without its file", "subscribers", nullptr, {kProblemTextB}},
      {"compaction of the main database leaves no file", nullptr, "autoresponder.bak", {kProblemTextA}},
      {"compaction of the subscriber database leaves no file", nullptr, "subscribers.bak", {kProblemTextC}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    problems.clear();
    if (c.missingSto) {
      // As a kill in the middle of compaction leaves it: the backup, and a partial copy
      // under the temporary name.
      const std::string sto = File((std::string(c.missingSto) + ".sto").c_str());
      ASSERT_TRUE(CopyFile(sto, File((std::string(c.missingSto) + ".bak").c_str())));
      test::WriteWholeFile(PendingPath(sto), test::ReadWholeFile(sto).substr(0, 4096));
      std::remove(sto.c_str());
    }
    const std::string failing = c.failCompactOf ? File(c.failCompactOf) : "";
    EXPECT_EQ(Run([&](const std::string& from, const std::string& to) {
                if (from == failing) throw std::runtime_error("disk full");
                VacuumInto(from, to);
              }),
              MaintenanceOutcome::Done);
    EXPECT_EQ(problems, c.problems);
    for (const char* f : {"autoresponder.sto", "autoresponder.bak", "subscribers.sto", "subscribers.bak"})
      EXPECT_TRUE(FileExists(File(f))) << f;
    for (const char* f : {"autoresponder.sto.new", "subscribers.sto.new"}) EXPECT_FALSE(FileExists(File(f))) << f;
    ExpectDataIntact();
    db.Config().Close();
    db.Subscribers().Close();
  }
}

TEST_F(Maintenance, ABackupIsDeletedOnlyBesideASoundFile) {
  // Each file as an interrupted write or a failing disk may leave it beside its backup.
  struct Case {
    const char* name;
    std::function<std::string(const std::string&)> damage;
  };
  const Case cases[] = {
      {"cut short", [](const std::string& bytes) { return bytes.substr(0, bytes.size() / 2); }},
      {"empty", [](const std::string&) { return std::string(); }},
      {"not a database", [](const std::string& bytes) { return std::string(bytes.size(), 'x'); }},
      {"a page overwritten",
       [](const std::string& bytes) { return bytes.substr(0, 4096) + std::string(4096, '\xff') + bytes.substr(8192); }},
  };
  for (const char* name : {"autoresponder", "subscribers"}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(name) + ": " + c.name);
      problems.clear();
      ASSERT_EQ(Run(), MaintenanceOutcome::Done);  // a fresh backup beside each file
      const std::string sto = File((std::string(name) + ".sto").c_str());
      const std::string bytes = test::ReadWholeFile(sto);
      ASSERT_GE(bytes.size(), 8192u);
      test::WriteWholeFile(sto, c.damage(bytes));
      EXPECT_EQ(Run(), MaintenanceOutcome::Done);
      EXPECT_EQ(problems, std::vector<std::string>{std::string(name) == "autoresponder" ? kProblemTextA : kProblemTextB});
      EXPECT_TRUE(test::ReadWholeFile(DamagedPath(sto)) == c.damage(bytes)) << "kept for whoever repairs it";
      ExpectDataIntact();
      db.Config().Close();
      db.Subscribers().Close();
    }
  }
}

TEST_F(Maintenance, AStopRequestIsHonouredAtASafePointWithEveryFileWhole) {
  // Before anything is touched.
  stop = true;
  EXPECT_EQ(Run(), MaintenanceOutcome::Stopped);
  EXPECT_FALSE(FileExists(File("autoresponder.bak")));
  stop = false;
  ASSERT_EQ(Run(), MaintenanceOutcome::Done);

  // In the middle of copying the subscriber database: the engine stops its copy and the
  // untouched original goes back; the main database, done before, keeps its copy.
  EXPECT_EQ(Run([&](const std::string& from, const std::string& to) {
              VacuumInto(from, to);
              if (from != File("subscribers.bak")) return;
              stop = true;
              throw DbError("interrupted", 9);
            }),
            MaintenanceOutcome::Stopped);
  EXPECT_TRUE(problems.empty());
  for (const char* f : {"autoresponder.sto", "autoresponder.bak", "subscribers.sto"}) EXPECT_TRUE(FileExists(File(f))) << f;
  for (const char* f : {"subscribers.bak", "subscribers.sto.new"}) EXPECT_FALSE(FileExists(File(f))) << f;
  stop = false;
  ExpectDataIntact();
}

TEST_F(Maintenance, TheEngineStopsItsCopyOnRequest) {
  // Enough rows for the engine to look at the request while it copies.
  db.Reopen();
  CreateSubscriberTable(db.Subscribers(), 1);
  db.Subscribers().Execute(
      "insert into [1] (EmailAddress) with recursive n(i) as (select 1 union all select i+1 from n where i<20000) "
      "select 's' || i || '@example.com' from n");
  db.Subscribers().Close();
  int asked = 0;
  try {
    VacuumInto(File("subscribers.sto"), File("copy"), [&] { return ++asked == 3; });
    ADD_FAILURE() << "the copy ran to its end";
  } catch (const DbError& e) {
    EXPECT_EQ(e.Code() & 0xff, 9) << e.what();  // interrupted
  }
  EXPECT_EQ(asked, 3);
  EXPECT_TRUE(DatabaseIsSound(File("subscribers.sto")));
  EXPECT_FALSE(DatabaseIsSound(File("subscribers.sto"), [] { return true; }));
}

// Every file and folder maintenance leaves in the data folder, with its mode.
std::vector<std::pair<std::string, mode_t>> Modes(const std::string& folder) {
  std::vector<std::pair<std::string, mode_t>> modes;
  DIR* dir = ::opendir(folder.c_str());
  while (dirent* e = dir ? ::readdir(dir) : nullptr) {
    struct stat st{};
    if (e->d_name[0] != '.' && ::stat((folder + "/" + e->d_name).c_str(), &st) == 0)
      modes.emplace_back(e->d_name, st.st_mode & 07777);
  }
  if (dir) ::closedir(dir);
  return modes;
}

TEST_F(Maintenance, DatabaseFilesAreNeverOpenToTheWorld) {
  const mode_t saved = ::umask(022);
  // A file left open to the world by an older version becomes the backup.
  ::chmod(File("subscribers.sto").c_str(), 0644);
  EXPECT_EQ(Run(), MaintenanceOutcome::Done);
  db.Reopen();  // the engine's -wal and -shm files beside each database
  db.Config().Execute("update tblStatus set LastSMTPStatus=0");
  db.Subscribers().Execute("update tblDeDupe set TheCount=2");
  ::umask(saved);
  const auto modes = Modes(db.Folder());
  for (const char* f : {"autoresponder.sto", "autoresponder.bak", "subscribers.bak", "subscribers.sto-wal"})
    EXPECT_TRUE(std::any_of(modes.begin(), modes.end(), [&](const auto& m) { return m.first == f; })) << f;
  for (const auto& [name, mode] : modes) EXPECT_EQ(mode & 007, 0u) << name << " " << std::oct << mode;
}

TEST_F(Maintenance, SkippedWhileAnotherProgramHoldsTheDatabases) {
  DatabaseFiles other;
  other.Open(db.Folder());
  EXPECT_EQ(Run(), MaintenanceOutcome::SkippedInUse);
  EXPECT_FALSE(FileExists(File("autoresponder.bak")));
  EXPECT_FALSE(FileExists(File("subscribers.bak")));
  EXPECT_EQ(other.config.Scalar("select AutoresponderName from tblAutoresponders").AsText(), "kept");
}

TEST_F(Maintenance, CommittedWritesStillInTheJournalSurviveTheMove) {
  {
    // A program that ended without folding its journal back into the file.
    Connection writer = Connection::Open(File("autoresponder.sto"));
    writer.Scalar("PRAGMA wal_autocheckpoint=0");
    writer.Execute("insert into tblAutoresponders (AutoresponderName, Active) values ('late', -1)");
    EXPECT_TRUE(FileExists(File("autoresponder.sto-wal")));
    Run();
    db.Reopen();
    EXPECT_EQ(db.Config().Scalar("select count(*) from tblAutoresponders where AutoresponderName='late'").AsInteger(), 1);
  }
}

}  // namespace
}  // namespace ar
