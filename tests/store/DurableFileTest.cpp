// Durable files: a copy that replaces its target whole or not at all, and private new files.
#include "store/DataFolder.h"
#include "store/DurableFile.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace ar {
namespace {

mode_t ModeOf(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(CopyFile, ReplacesTheTargetWholeOrNotAtAll) {
  test::TempFolder folder;
  const std::string from = folder.File("autoresponder.tem"), to = folder.File("autoresponder.sto");
  test::WriteWholeFile(from, "new");
  test::WriteWholeFile(to, "old");
  ::chmod(to.c_str(), 0644);  // as an older version left it
  const mode_t saved = ::umask(0);
  EXPECT_TRUE(CopyFile(from, to));
  ::umask(saved);
  EXPECT_EQ(test::ReadWholeFile(to), "new");
  EXPECT_EQ(ModeOf(to) & 007, 0u) << std::oct << ModeOf(to);
  EXPECT_FALSE(FileExists(PendingPath(to)));

  // A failed copy leaves the target as it was and nothing beside it.
  EXPECT_FALSE(CopyFile(folder.File("missing.tem"), to));
  EXPECT_FALSE(CopyFile(from, folder.File("no-such-folder/autoresponder.sto")));
  EXPECT_EQ(test::ReadWholeFile(to), "new");
  EXPECT_FALSE(FileExists(PendingPath(to)));
}

TEST(CreatePrivateFile, NeverOpenToTheWorldAndNeverOverAnotherFile) {
  test::TempFolder folder;
  const mode_t saved = ::umask(0);
  EXPECT_TRUE(CreatePrivateFile(folder.File("copy")));
  EXPECT_FALSE(CreatePrivateFile(folder.File("copy")));
  ::umask(saved);
  EXPECT_EQ(ModeOf(folder.File("copy")), 0660u);
}

}  // namespace
}  // namespace ar
