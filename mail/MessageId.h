#pragma once
// Message-IDs for the mails the programs write themselves.
#include <string>

namespace ar {

// "<YYYYMMDDhhmmss.pid.counter.random@domain>" for a local day number: unique across
// messages of one process (the counter), across processes (the process id) and across
// machines and restarts (the random part, drawn once per process). domain is the HELO
// or host name; characters a Message-ID cannot carry on its right-hand side are left
// out, and an empty domain becomes "localhost".
std::string NewMessageId(double localDays, const std::string& domain);

}  // namespace ar
