#pragma once
// Files of the data folder hold passwords (the databases) or mail traffic (the traces):
// owner and group only, never the world.
#include <sys/types.h>

namespace ar {
constexpr mode_t kPrivateFileMode = 0660;
constexpr mode_t kPrivateFolderMode = 0770;
}  // namespace ar
