#pragma once
// Writing a subscriber list to a delimited text file: a header line of the list's column
// names, then one line per row with its values in the same order, unquoted, a line feed
// inside a value written as a blank, every line ending in CR LF. The rows are read a page
// at a time, so memory does not grow with the list.
#include "control/subscribers/SubscriberList.h"

#include <cstdint>
#include <string>

namespace ar {

// "SubscriberExport_ID12_20240105143005.txt" for autoresponder 12 at that local time.
std::string DefaultExportFileName(int64_t autoresponderId, double now);

// Writes every row of the list (as last reloaded) to the file at path, replacing it. The
// file is written under a temporary name beside it and renamed into place once complete,
// so a failure never leaves a part of it under the chosen name (nor touches a file already
// there). Throws std::runtime_error with the reason on any failure.
void ExportSubscribers(SubscriberList& list, const std::string& path, char separator);

}  // namespace ar
