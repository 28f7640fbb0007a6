// The process test: a program counts by its file's exact name, whatever its folder; a
// folder named after it, or a longer name that contains it, does not count.
#include "base/Trace.h"
#include "monitor/ProcessList.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TempFolder.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace ar {
namespace {

namespace fs = std::filesystem;

// A process list laid out like /proc: numbered folders whose "exe" links to the program.
class FakeProcessList {
 public:
  FakeProcessList() {
    fs::create_directory(root.File("self"));     // not a process
    fs::create_directory(root.File("2"));        // a kernel thread: no program file
  }
  void Add(const std::string& exe) {
    const std::string folder = root.File(std::to_string(next_++));
    fs::create_directory(folder);
    fs::create_symlink(exe, folder + "/exe");
  }
  test::TempFolder root;

 private:
  int next_ = 100;
};

TEST(ProcessList, TheControlProgramByItsFilesExactName) {
  struct Case {
    const char* exe;
    bool counts;
  };
  const Case cases[] = {
      {"/usr/local/lib/autoresponder/velquin", true},
      {"/home/ann/build/bin/VELQUIN", true},
      {"/usr/local/lib/autoresponder/velquin (deleted)", true},  // replaced by an update while it runs
      {"/opt/velquin/tamsel", false},                              // the monitor in a folder named after it
      {"/opt/velquin/bin/ostrel", false},
      {"/usr/bin/myvelquin", false},
      {"/usr/bin/velquin-old", false},
      {"/velquin/", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exe);
    FakeProcessList list;
    list.Add("/usr/bin/bash");
    list.Add(c.exe);
    EXPECT_EQ(IsEXEInTaskList("velquin", list.root.Path()), c.counts);
  }
  FakeProcessList empty;
  EXPECT_FALSE(IsEXEInTaskList("velquin", empty.root.Path()));
}

TEST(ProcessList, AnUnreadableListIsTracedAndCountsAsNotRunning) {
  test::TempFolder data;
  SetTraceFile(data.File("trace.log"));
  EXPECT_FALSE(IsEXEInTaskList("velquin", data.File("no-such-list")));
  EXPECT_NE(test::ReadWholeFile(data.File("trace.log")).find(" IsEXEInTaskList: cannot list "), std::string::npos);
  SetTraceFile("");
}

TEST(ProcessList, ARealProcessCountsWhileItRuns) {
  // A copy of sleep under a name of its own, in a folder whose name is another program's.
  test::TempFolder folder;
  const std::string name = "arprobe" + std::to_string(::getpid());
  fs::create_directory(folder.File("velquin"));
  const std::string program = folder.File("velquin/" + name);
  fs::copy_file("/bin/sleep", program);
  fs::permissions(program, fs::perms::owner_all);

  EXPECT_FALSE(IsEXEInTaskList(name));
  test::Subprocess probe(program, {"600"}, {});
  EXPECT_TRUE(test::WaitUntil([&] { return IsEXEInTaskList(name); }));
  EXPECT_TRUE(IsEXEInTaskList("ARPROBE" + std::to_string(::getpid())));
  EXPECT_FALSE(IsEXEInTaskList("arprobe"));
  ::kill(probe.Pid(), SIGKILL);
  probe.Wait();
  EXPECT_FALSE(IsEXEInTaskList(name));
}

}  // namespace
}  // namespace ar
