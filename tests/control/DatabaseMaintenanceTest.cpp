#include "control/DatabaseMaintenance.h"
#include "store/DataFolder.h"
#include "store/DatabaseFiles.h"
#include "tests/support/TestDatabases.h"

#include <gtest/gtest.h>

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
    return MaintainDatabases(db.Folder(), hooks);
  }
  void ExpectDataIntact() {
    db.Reopen();
    EXPECT_EQ(db.Config().Scalar("select AutoresponderName from tblAutoresponders").AsText(), "kept");
    EXPECT_EQ(db.Subscribers().Scalar("select EmailAddress from tblDeDupe").AsText(), "kept@example.com");
  }

  test::TestDatabases db;
  std::vector<std::string> problems;
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
      const std::string sto = File((std::string(c.missingSto) + ".sto").c_str());
      ASSERT_TRUE(CopyFile(sto, File((std::string(c.missingSto) + ".bak").c_str())));
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
    ExpectDataIntact();
    db.Config().Close();
    db.Subscribers().Close();
  }
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
