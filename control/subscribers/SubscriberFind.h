#pragma once
// Finding a subscriber in the editor's list: the next row, from a position and in a
// direction, whose column shows a text, letter case not counting. The search reads the
// list through the store a page at a time (the address column with one statement), so a
// list of a million rows is searched without being loaded.
#include "control/subscribers/SubscriberList.h"

#include <cstdint>
#include <optional>
#include <string>

namespace ar {

// The columns of the editor's subscriber grid, in grid order.
enum class SubscriberColumn { SubscriberID, EmailAddress, AddedDate, LastEvent, LastEventSent, UnsubscribeDate };

// The text the grid shows in a column of a row.
std::string SubscriberColumnText(SubscriberList& list, const SubscriberRow& row, SubscriberColumn column);

// The position of the first row at or after `from` (forward) or at or before it
// (backward) whose column text contains `text` (letter case of A to Z not counting);
// nothing when there is none. `subscribers` is the list's own connection.
std::optional<int64_t> FindSubscriber(Connection& subscribers, SubscriberList& list, SubscriberColumn column,
                                      const std::string& text, int64_t from, bool forward);

}  // namespace ar
