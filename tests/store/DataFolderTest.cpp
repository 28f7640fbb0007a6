// The data folder: the order in which it is chosen, and its subfolders.
#include "store/DataFolder.h"
#include "tests/support/TempFolder.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace ar {
namespace {

// Sets or clears an environment variable for one test.
class EnvGuard {
 public:
  EnvGuard(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~EnvGuard() { had_ ? ::setenv(name_, old_.c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

TEST(DataFolder, ChosenInOrder) {
  test::TempFolder program, env, system, xdg;
  const std::string unwritable = program.File("plainfile/autoresponder");  // its parent is a file
  test::WriteWholeFile(program.File("plainfile"), "");

  {  // 1. a database next to the program wins over everything
    test::WriteWholeFile(program.File("autoresponder.sto"), "");
    EnvGuard e("AUTORESPONDER_DATA", env.Path().c_str());
    EXPECT_EQ(GetDataFolder(program.Path() + "/", system.Path()), program.Path());
    std::remove(program.File("autoresponder.sto").c_str());
  }
  {  // 2. the environment names the folder, created when missing, without a trailing "/"
    EnvGuard e("AUTORESPONDER_DATA", (env.Path() + "/new/").c_str());
    EXPECT_EQ(GetDataFolder(program.Path(), system.Path()), env.Path() + "/new");
    EXPECT_TRUE(FolderExists(env.Path() + "/new"));
  }
  EnvGuard noEnv("AUTORESPONDER_DATA", nullptr);
  // 3. the system folder when it can be made
  EXPECT_EQ(GetDataFolder(program.Path(), system.Path() + "/autoresponder"), system.Path() + "/autoresponder");
  {  // 4. else the user's data folder
    EnvGuard x("XDG_DATA_HOME", xdg.Path().c_str());
    EXPECT_EQ(GetDataFolder(program.Path(), unwritable), xdg.Path() + "/autoresponder");
    EXPECT_TRUE(FolderExists(xdg.Path() + "/autoresponder"));
  }
}

TEST(DataFolder, SubfoldersAreCreatedAndExistingOnesKept) {
  test::TempFolder data;
  MakeFolders(data.Path() + "/debug");
  test::WriteWholeFile(data.File("debug/trace.log"), "old");
  CreateDataSubfolders(data.Path());
  for (const char* sub : {"/templates", "/debug", "/content", "/reports"}) EXPECT_TRUE(FolderExists(data.Path() + sub));
  EXPECT_EQ(test::ReadWholeFile(data.File("debug/trace.log")), "old");
}

}  // namespace
}  // namespace ar
