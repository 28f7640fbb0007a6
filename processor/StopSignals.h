#pragma once
// The processor's signals: SIGTERM (the service being stopped) and SIGINT (Ctrl-C) ask
// the run to stop through a token; a broken connection must not end the program.
#include "mail/StopToken.h"

namespace ar {

// The first SIGTERM or SIGINT requests a stop: the run ends after the message in hand,
// with its marks and end time recorded. A second one of the same kind ends the program
// at once, as it would have without this.
void RequestStopOnSignals(StopToken& token);

// A write to a connection the peer has reset fails with an error (EPIPE) instead of
// ending the program with SIGPIPE.
void IgnoreBrokenPipes();

}  // namespace ar
