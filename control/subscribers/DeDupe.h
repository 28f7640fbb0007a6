#pragma once
// De-duplication of a subscriber list: rows without an address go, and of each address
// held by several rows (letter case not counting) only the row added first, the one with
// the lowest SubscriberID, stays.
#include "store/Connection.h"

#include <cstdint>
#include <functional>

namespace ar {

// Works through the table in short write transactions, each over one range of keys, so
// that a processing run writing the same file meanwhile is never held up for long;
// `between` runs after each of them (the window repaints there). The scratch table
// tblDeDupe is emptied before and after. Throws DbError when a statement fails; the
// ranges done by then stay done, and running it again finishes the work.
void DeDupe(Connection& subscribers, int64_t autoresponderId, const std::function<void()>& between = {});

}  // namespace ar
