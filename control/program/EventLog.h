#pragma once
// The system event log of the service: one systemd journal entry per line, with the
// event number in a field of its own (AUTORESPONDER_EVENT=107), or syslog when the
// journal cannot be reached.
#include "base/OperatorMessages.h"

#include <string>
#include <vector>

namespace ar {

constexpr int kEventStarting = 101;  // "Autoresponder starting"
constexpr int kEventStopping = 102;  // "Autoresponder stopping"
constexpr int kEventMessage = 107;   // every other text

class EventLog {
 public:
  virtual ~EventLog() = default;
  virtual void Write(const std::string& text, int eventNumber) = 0;
};

class JournalEventLog final : public EventLog {
 public:
  void Write(const std::string& text, int eventNumber) override;
};

// Keeps the entries, for tests.
class RecordingEventLog final : public EventLog {
 public:
  struct Entry {
    std::string text;
    int eventNumber;
  };
  void Write(const std::string& text, int eventNumber) override { entries.push_back({text, eventNumber}); }
  std::vector<Entry> entries;
};

// Messages of service mode: every message box becomes an entry with number 107.
class EventLogMessages final : public OperatorMessages {
 public:
  explicit EventLogMessages(EventLog& log) : log_(log) {}
  void ShowMessage(const std::string& text, const std::string&, MessageIcon) override { log_.Write(text, kEventMessage); }

 private:
  EventLog& log_;
};

// The service manager's notifications (sd_notify); nothing happens outside a service.
void NotifyServiceReady();
void NotifyServiceStopping();
// Start-up is still at work (compacting a large database): the start time-out is moved
// on, so the service manager does not stop it half-way. Sent at most every few seconds,
// however often it is called.
void NotifyServiceStillStarting();

}  // namespace ar
