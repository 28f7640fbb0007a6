#include "store/PresenceMarker.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace ar
