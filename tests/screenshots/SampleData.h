#pragma once
// A sample data folder for the screenshots: what an operator would have after a few weeks.
#include <string>

namespace ar::shots {

// Creates both databases in `folder` (which must exist) and fills them.
void MakeSampleDataFolder(const std::string& folder);

}  // namespace ar::shots
