#pragma once
// What the configuration's "Always run a preflight check before sending event emails"
// does in a run: before an event's messages go out, the checks that need no network.
// An event that fails goes to nobody in this run; its pass ends there, so that its later
// events wait with it and the sequence keeps its order (as for an unusable sender).
#include "processor/RunContext.h"
#include "store/Connection.h"

#include <string>
#include <vector>

namespace ar {

// The LastStatus of an autoresponder one of whose events the preflight check held back.
inline constexpr const char* kStatusPreflightFailed = "Error: event failed the preflight check, not sent";

// The HTML body file of an event row: its own file when it uses files for its bodies,
// else the data folder's content file of the event.
std::string EventHtmlBodyFile(const RowSet& event, const std::string& dataFolder);

// What would make every message of the event wrong: an empty subject, an attachment,
// body file or local image file that is missing or cannot be read. Empty when the event
// may go. event: the row set positioned on the event.
std::vector<std::string> EventPreflightFaults(const RowSet& event, const std::string& dataFolder);

// Runs the checks; when the event must not go, reports why (a forced trace line, a
// progress line and the autoresponder's LastStatus) and returns false.
bool EventPassesPreflight(const RunContext& ctx, const RowSet& event);

}  // namespace ar
