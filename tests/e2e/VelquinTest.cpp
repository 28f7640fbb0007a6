// The real velquin program without any display: first start, service mode under a stop
// request, the single-instance rule, and the service unit it is shipped with.
#include "mail/SmtpSession.h"
#include "mail/Timeouts.h"
#include "store/DataFolder.h"
#include "store/DatabaseFiles.h"
#include "store/PresenceMarker.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TestDatabases.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace ar {
namespace {

// The service manager's end of sd_notify: a datagram socket whose path goes to the
// program in NOTIFY_SOCKET; keeps every message in the order it came.
class NotifySocket {
 public:
  NotifySocket() {
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    path_ = folder_.File("notify");
    path_.copy(addr.sun_path, sizeof addr.sun_path - 1);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) ADD_FAILURE() << "cannot bind " << path_;
  }
  ~NotifySocket() { ::close(fd_); }
  std::string Env() const { return "NOTIFY_SOCKET=" + path_; }
  // Waits for a message holding text; true when it came.
  bool WaitFor(const std::string& text) {
    return test::WaitUntil([&] {
      Drain();
      for (const std::string& m : messages)
        if (m.find(text) != std::string::npos) return true;
      return false;
    });
  }
  std::vector<std::string> messages;

 private:
  void Drain() {
    char buf[4096];
    pollfd p{fd_, POLLIN, 0};
    while (::poll(&p, 1, 0) > 0) {
      const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
      if (n <= 0) return;
      messages.emplace_back(buf, static_cast<size_t>(n));
    }
  }
  test::TempFolder folder_;
  std::string path_;
  int fd_ = -1;
};

// Every file and folder under folder whose mode lets the world in.
std::vector<std::string> OpenToTheWorld(const std::string& folder) {
  std::vector<std::string> open;
  DIR* dir = ::opendir(folder.c_str());
  while (dirent* e = dir ? ::readdir(dir) : nullptr) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = folder + "/" + name;
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0) continue;
    if (st.st_mode & S_IRWXO) open.push_back(path);
    if (S_ISDIR(st.st_mode))
      for (const std::string& inner : OpenToTheWorld(path)) open.push_back(inner);
  }
  if (dir) ::closedir(dir);
  return open;
}

std::vector<std::string> NoDisplay(const std::string& folder) {
  return {"AUTORESPONDER_DATA=" + folder, "AUTORESPONDER_TIMER_MS=100", "DISPLAY=", "WAYLAND_DISPLAY=",
          "QT_QPA_PLATFORM=", "AUTORESPONDER_DB_TIMEOUT_MS=10000"};
}

TEST(Velquin, FirstStartSeedsAndCompactsTheDatabases) {
  test::TempFolder data;
  const test::ProcessResult r = test::RunProgram("velquin", {}, NoDisplay(data.Path()));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  for (const char* f : {"autoresponder.sto", "autoresponder.bak", "subscribers.sto", "subscribers.bak"})
    EXPECT_TRUE(FileExists(data.File(f))) << f;
  for (const char* d : {"templates", "debug", "content", "reports"}) EXPECT_TRUE(FolderExists(data.File(d))) << d;
  DatabaseFiles files;
  files.Open(data.Path());
  EXPECT_EQ(files.config.Query("select * from tblConfiguration").Count(), 1u);
}

TEST(Velquin, ServiceModeStartsRunsAndStopsOnRequest) {
  // The umask of "make run" in a terminal: no file may be open to the world all the same.
  const mode_t savedUmask = ::umask(022);
  test::TempFolder data;
  ASSERT_TRUE(CopyFile(std::string(AR_BIN_DIR) + "/autoresponder.tem", AutoresponderDbPath(data.Path())));
  ASSERT_TRUE(CopyFile(std::string(AR_BIN_DIR) + "/subscribers.tem", SubscribersDbPath(data.Path())));
  {
    // Every tick attempts a run; with no SMTP server the run records just that.
    DatabaseFiles files;
    files.Open(data.Path());
    files.config.Execute("update tblConfiguration set POPCycleMinutes=-1, SMTPServer=''");
  }
  NotifySocket manager;
  std::vector<std::string> env = NoDisplay(data.Path());
  env.push_back(manager.Env());
  test::Subprocess service("velquin", {"/s"}, env);
  ASSERT_TRUE(manager.WaitFor("READY=1"));
  // Compaction came before it and kept the start time-out from running out.
  ASSERT_GE(manager.messages.size(), 2u);
  EXPECT_EQ(manager.messages[0].rfind("EXTEND_TIMEOUT_USEC=", 0), 0u) << manager.messages[0];
  EXPECT_TRUE(PresenceMarker::Exists("velquin", data.Path()));

  // A second instance is refused with the code the unit counts as a success.
  const test::ProcessResult second = test::RunProgram("velquin", {"/s"}, NoDisplay(data.Path()));
  EXPECT_EQ(second.exitCode, 75);
  const test::ProcessResult window = test::RunProgram("velquin", {}, NoDisplay(data.Path()));
  EXPECT_EQ(window.exitCode, 75);
  EXPECT_NE(window.err.find("A previous instance of Autoresponder is already running"), std::string::npos) << window.err;

  // The processor ran: it found no SMTP server and recorded the problem.
  EXPECT_TRUE(test::WaitUntil([&] {
    DatabaseFiles files;
    files.Open(data.Path());
    return NullToDefault(files.config.Scalar("select LastSMTPStatus from tblStatus"), int64_t{0}) == -1;
  }));
  // While both programs have used the databases: the files, their -wal and -shm, the
  // markers, the traces.
  EXPECT_TRUE(FileExists(data.File("autoresponder.sto-wal")));
  EXPECT_EQ(OpenToTheWorld(data.Path()), std::vector<std::string>{});
  ::umask(savedUmask);

  ASSERT_EQ(::kill(service.Pid(), SIGTERM), 0);
  const test::ProcessResult r = service.Wait(std::chrono::seconds(20));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(manager.WaitFor("STOPPING=1"));
  EXPECT_NE(test::ReadWholeFile(data.File("debug/trace.log")).find(" Previous service already running\r\n"),
            std::string::npos);
  EXPECT_FALSE(PresenceMarker::Exists("velquin", data.Path()));
}

TEST(Velquin, ServiceEntriesReachTheJournal) {
  if (!FileExists("/run/systemd/journal/socket") || !FileExists("/usr/bin/journalctl"))
    GTEST_SKIP() << "no systemd journal on this machine; the entries are checked through the event-log interface";
  test::TempFolder data;
  test::Subprocess service("velquin", {"/s"}, NoDisplay(data.Path()));
  ASSERT_TRUE(test::WaitUntil([&] { return PresenceMarker::Exists("velquin", data.Path()); }));
  const int pid = service.Pid();
  ::kill(pid, SIGTERM);
  EXPECT_EQ(service.Wait(std::chrono::seconds(20)).exitCode, 0);
  const std::string pidMatch = "_PID=" + std::to_string(pid);
  bool found = test::WaitUntil([&] {
    const test::ProcessResult j = test::RunSystemProgram(
        "/usr/bin/journalctl", {"--no-pager", "-o", "cat", "AUTORESPONDER_EVENT=102", pidMatch});
    return j.out.find("Autoresponder stopping") != std::string::npos;
  });
  EXPECT_TRUE(found);
}

TEST(Velquin, AFailedStartUpEndsWithItsOwnCode) {
  // A folder where the database cannot be put in place: the initial copy has no room.
  test::TempFolder data;
  ASSERT_EQ(::mkdir(data.File("autoresponder.sto").c_str(), 0700), 0);
  const test::ProcessResult r = test::RunProgram("velquin", {"/s"}, NoDisplay(data.Path()));
  EXPECT_EQ(r.exitCode, 1) << r.err;
}

// The shipped unit, with its program path pointed at the program under test.
TEST(Velquin, TheServiceUnitIsValidAndBoundsItsRestarts) {
  const std::string unit = test::ReadWholeFile(std::string(AR_SOURCE_DIR) + "/dist/velquin.service");
  ASSERT_FALSE(unit.empty());
  EXPECT_NE(unit.find("\nSuccessExitStatus=75\n"), std::string::npos) << "a refused second instance is no failure";
  EXPECT_NE(unit.find("\nRestart=on-failure\n"), std::string::npos);
  EXPECT_NE(unit.find("\nStartLimitBurst="), std::string::npos) << "a start-up that keeps failing is given up";
  // A stop during a run waits for the final reply to the message in hand: systemd must not
  // kill ostrel first, or that message goes twice.
  const std::size_t stop = unit.find("\nTimeoutStopSec=");
  ASSERT_NE(stop, std::string::npos);
  EXPECT_GT(std::stol(unit.substr(stop + 16)) * 1000, kSmtpReplyTimeoutMs);
  if (!FileExists("/usr/bin/systemd-analyze")) GTEST_SKIP() << "no systemd-analyze to check the unit's keys";
  test::TempFolder folder;
  std::string copy = unit;
  const std::string installed = "/usr/local/lib/autoresponder/velquin";
  ASSERT_NE(copy.find(installed), std::string::npos);
  copy.replace(copy.find(installed), installed.size(), std::string(AR_BIN_DIR) + "/velquin");
  test::WriteWholeFile(folder.File("velquin.service"), copy);
  const test::ProcessResult r = test::RunSystemProgram("/usr/bin/systemd-analyze", {"verify", folder.File("velquin.service")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "") << "every key known and in its section";
}

// The application window ends as asked by SIGTERM (the session ending) or SIGINT (Ctrl-C
// in its terminal): with code 0, not killed by the signal.
TEST(Velquin, TheApplicationWindowEndsWithCodeZeroOnAStopRequest) {
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    test::TempFolder data;
    std::vector<std::string> env = NoDisplay(data.Path());
    for (std::string& e : env)
      if (e.starts_with("QT_QPA_PLATFORM=")) e = "QT_QPA_PLATFORM=offscreen";
    test::Subprocess window("velquin", {"/d"}, env);
    ASSERT_TRUE(test::WaitUntil([&] {
      return test::ReadWholeFile(data.File("debug/trace.log")).find("Application mode show project list") !=
             std::string::npos;
    }, std::chrono::seconds(60)));
    ASSERT_EQ(::kill(window.Pid(), signal), 0);
    const test::ProcessResult r = window.Wait(std::chrono::seconds(30));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(PresenceMarker::Exists("velquin", data.Path()));
  }
}

}  // namespace
}  // namespace ar
