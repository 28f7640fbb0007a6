#include "control/program/EventLog.h"

#include <chrono>
#include <syslog.h>
#include <systemd/sd-daemon.h>
#include <systemd/sd-journal.h>

namespace ar {

void JournalEventLog::Write(const std::string& text, int eventNumber) {
  const int priority = eventNumber == kEventMessage ? LOG_WARNING : LOG_INFO;
  const int rc = sd_journal_send("MESSAGE=%s", text.c_str(), "PRIORITY=%d", priority, "AUTORESPONDER_EVENT=%d",
                                 eventNumber, "SYSLOG_IDENTIFIER=velquin", nullptr);
  if (rc < 0) {
    openlog("velquin", LOG_PID, LOG_DAEMON);
    syslog(priority, "[%d] %s", eventNumber, text.c_str());
    closelog();
  }
}

void NotifyServiceReady() { sd_notify(0, "READY=1\nSTATUS=Autoresponder running"); }
void NotifyServiceStopping() { sd_notify(0, "STOPPING=1"); }

void NotifyServiceStillStarting() {
  // Each message gives two minutes more from now; one every ten seconds keeps well ahead.
  constexpr auto kEvery = std::chrono::seconds(10);
  static std::chrono::steady_clock::time_point last{};
  const auto now = std::chrono::steady_clock::now();
  if (last != std::chrono::steady_clock::time_point{} && now - last < kEvery) return;
  last = now;
  sd_notify(0, "EXTEND_TIMEOUT_USEC=120000000\nSTATUS=Compacting the databases");
}

}  // namespace ar
