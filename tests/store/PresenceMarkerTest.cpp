// Presence markers: one holder per title and data folder, looking without taking, and who may see them.
#include "store/DataFolder.h"
#include "store/PresenceMarker.h"
#include "tests/support/TempFolder.h"

#include <atomic>
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace ar {
namespace {

TEST(PresenceMarker, HeldByOneAtATimePerTitleAndDataFolder) {
  test::TempFolder a, b;
  EXPECT_FALSE(PresenceMarker::Exists("ostrel", a.Path()));
  {
    PresenceMarker first;
    ASSERT_TRUE(first.Acquire("ostrel", a.Path()));
    EXPECT_TRUE(PresenceMarker::Exists("ostrel", a.Path()));
    EXPECT_TRUE(PresenceMarker::Exists("ostrel", a.Path() + "/"));  // the same folder spelt otherwise

    PresenceMarker second;
    EXPECT_FALSE(second.Acquire("ostrel", a.Path()));
    EXPECT_TRUE(second.Acquire("ostrel", b.Path()));            // another data folder
    EXPECT_FALSE(PresenceMarker::Exists("Autoresponder Stats", a.Path()));  // another title
  }
  EXPECT_FALSE(PresenceMarker::Exists("ostrel", a.Path()));
}

TEST(PresenceMarker, LookingNeitherCreatesTheMarkerNorKeepsItFromBeingTaken) {
  test::TempFolder folder;
  EXPECT_FALSE(PresenceMarker::Exists("velquin", folder.Path()));
  EXPECT_FALSE(FileExists(PresenceMarker::LockPath("velquin", folder.Path())));

  // A monitor asks over and over while the program starts and ends again and again.
  PresenceMarker{}.Acquire("velquin", folder.Path());  // the lock file now exists
  std::atomic<bool> done{false};
  std::atomic<int> looks{0};
  std::thread looker([&] {
    for (; !done; ++looks) PresenceMarker::Exists("velquin", folder.Path());
  });
  while (looks == 0) std::this_thread::yield();
  int refused = 0;
  for (int i = 0; i < 200; ++i) {
    PresenceMarker marker;
    if (!marker.Acquire("velquin", folder.Path())) ++refused;
  }
  done = true;
  looker.join();
  EXPECT_EQ(refused, 0);
}

// Runs fn in a child process as the unprivileged user "nobody" (in the group given) and
// returns what it returned.
bool AsNobody(gid_t group, const std::function<bool()>& fn) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const gid_t groups[] = {group};
    if (::setgroups(1, groups) != 0 || ::setgid(group) != 0 || ::setuid(65534) != 0) ::_exit(2);
    ::_exit(fn() ? 1 : 0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 2) << "could not become nobody";
  return WIFEXITED(status) && WEXITSTATUS(status) == 1;
}

TEST(PresenceMarker, OnlyUsersOfTheDataFolderSeeOrTakeIt) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as two users";
  constexpr gid_t kNogroup = 65534;
  test::TempFolder folder;
  const std::string& data = folder.Path();

  // Another local user, not in the data folder's group, cannot take the marker before
  // the service starts.
  ASSERT_EQ(::chmod(data.c_str(), 0770), 0);
  EXPECT_FALSE(AsNobody(kNogroup + 1, [&] {
    PresenceMarker squatter;
    return squatter.Acquire("velquin", data);
  }));
  PresenceMarker service;
  ASSERT_TRUE(service.Acquire("velquin", data));
  struct stat st{};
  ASSERT_EQ(::stat(PresenceMarker::LockPath("velquin", data).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 007, 0u) << std::oct << st.st_mode;

  // A member of the group who may read but not write the folder (the monitor of another
  // user) sees whether the service holds it.
  ASSERT_EQ(::chown(data.c_str(), 0, kNogroup), 0);
  ASSERT_EQ(::chmod(data.c_str(), 0750), 0);
  ASSERT_EQ(::chown(PresenceMarker::LockPath("velquin", data).c_str(), 0, kNogroup), 0);
  const auto sees = [&] { return PresenceMarker::Exists("velquin", data); };
  EXPECT_TRUE(AsNobody(kNogroup, sees));
  service.Release();
  EXPECT_FALSE(AsNobody(kNogroup, sees));
  EXPECT_FALSE(AsNobody(kNogroup, [&] { return PresenceMarker::Exists("ostrel", data); }));
  EXPECT_FALSE(FileExists(PresenceMarker::LockPath("ostrel", data)));
}

}  // namespace
}  // namespace ar
