// The program folder the build makes holds the message templates with their preview
// pictures and the picture for templates without one: what the template window lists
// and new events start from.
#include "control/events/Templates.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace ar {
namespace {

TEST(ShippedTemplates, EachHasItsOwnPreviewPictureBesideTheNoPreviewPicture) {
  const std::string folder = TemplatesFolder(AR_BIN_DIR);
  const std::vector<std::string> names = ListTemplates(folder);
  EXPECT_GE(names.size(), 4u);
  for (const std::string& name : names) {
    const std::string picture = PreviewPicturePath(folder, name);
    EXPECT_EQ(std::filesystem::path(picture).filename(), PreviewPictureName(name)) << name;
    EXPECT_GT(std::filesystem::file_size(folder + "/" + name), 500u) << name;
  }
  EXPECT_TRUE(std::filesystem::exists(folder + "/nopreviewfile.jpg"));
}

}  // namespace
}  // namespace ar
