#pragma once
// The stop request of the service manager (SIGTERM) and of the terminal (SIGINT). They
// are held back from the start of velquin, so that start-up (compaction above all) is
// never cut off in the middle; start-up looks for a pending one at its safe points, and
// the service loop reads them once running.
#include <csignal>

namespace ar {

// SIGTERM and SIGINT.
sigset_t StopSignalSet();
// Blocks both for the calling thread and every thread it starts later.
void HoldStopSignals();
// Unblocks both: one that is pending takes its default effect (the process ends) now.
void ReleaseStopSignals();
// Whether a held stop signal is pending.
bool StopSignalPending();

}  // namespace ar
