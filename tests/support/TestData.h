#pragma once
// Rows of test data, one way for every test: an event or a subscriber is inserted with
// the columns a test names, each bound as a parameter; the others keep the schema's
// defaults (AddedDate the time of the insert, everything else Null).
#include "store/Connection.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ar::test {

using Columns = std::vector<std::pair<std::string, Value>>;

// An event of the autoresponder; returns its identifier.
int64_t InsertEvent(Connection& config, int64_t autoresponder, const Columns& columns);
// A row of the autoresponder's subscriber table; returns its SubscriberID.
int64_t InsertSubscriber(Connection& subscribers, int64_t autoresponder, const Columns& columns);

}  // namespace ar::test
