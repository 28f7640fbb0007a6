#pragma once
// basStatistics: the figures of the monitor's window.
#include "monitor/TrapLines.h"
#include "store/Connection.h"

#include <cstdint>
#include <string>

namespace ar {

// Each 24-hour figure adds up, over every autoresponder (active or not), one count on
// its subscriber table. A table that cannot be counted (one that does not exist, say)
// adds nothing, and its error goes to the trace under "frmProjectList/<figure>: ".
int64_t EmailsSentLast24Hours(Connection& config, Connection& subscribers, TrapLines& traps);
int64_t NewSubscribersLast24Hours(Connection& config, Connection& subscribers, TrapLines& traps);
int64_t NumberUnSubscribesLast24Hours(Connection& config, Connection& subscribers, TrapLines& traps);

// The number of active autoresponders as text, "0" when there is none. Errors reach the
// caller.
std::string ActiveAutoresponderCount(Connection& config);

}  // namespace ar
