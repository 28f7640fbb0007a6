#pragma once
// The control program without its windows: start-up (single instance, mode, data folder,
// seeding, maintenance, connections), the two timers, and the menu commands that do not
// need a window. Application mode puts frmMain around it; service mode drives it from
// the service loop.
#include "base/OperatorMessages.h"
#include "control/program/EventLog.h"
#include "control/program/RunScheduler.h"
#include "control/program/StopSignals.h"
#include "mail/PosixSocket.h"
#include "store/DatabaseFiles.h"
#include "store/PresenceMarker.h"

#include <functional>
#include <memory>
#include <string>

namespace ar {

constexpr int kModeService = 0;
constexpr int kModeApplication = 2;
constexpr int kTimerIntervalMs = 60000;

// Exit codes of velquin. A refused second instance is not a failure (the first one goes
// on); the service unit counts it as a success, so it is not restarted.
constexpr int kControlExitNormal = 0;          // ended as asked, also by a stop request during start-up
constexpr int kControlExitStartUpFailed = 1;   // start-up failed ("frmMain_load error: ...")
constexpr int kControlExitAlreadyRunning = 75; // another instance holds the data folder

// "Autoresponder - Version 1.0.0"
std::string MainCaption();
// "1.0.0"
std::string VersionText();

class ControlProgram {
 public:
  // messages: message boxes in application mode (ignored in service mode, where the
  // event log takes every message).
  ControlProgram(std::string commandLine, OperatorMessages& messages, EventLog& eventLog, ProcessStarter& starter);

  // Steps of start-up up to the opened connections and the configuration read. False
  // when the process must end (another instance, a start-up error, already reported, or
  // a stop request); ExitCode() then says with which code.
  bool StartUp();
  int ExitCode() const { return exitCode_; }
  // The last steps, once the splash of application mode has closed: the mode trace and
  // the choice of what is shown.
  void FinishStartUp();

  bool ServiceMode() const { return modeType_ == kModeService; }
  int ModeType() const { return modeType_; }
  const std::string& DataFolder() const { return dataFolder_; }
  const std::string& ProgramFolder() const { return programFolder_; }
  Connection& Main() { return databases_.config; }
  Connection& Subscribers() { return databases_.subscribers; }
  OperatorMessages& Messages() { return ServiceMode() ? static_cast<OperatorMessages&>(serviceMessages_) : messages_; }
  EventLog& Log() { return eventLog_; }
  RunScheduler& Scheduler() { return *scheduler_; }

  // The two timers.
  void TimerProcessTick();
  void TimerSummaryTick();

  // Menu commands.
  void SendSummaryEmail();      // "Send Summary Email"
  void RunEventProcessing();    // "Run Event Processing"
  void RunMonitorSystem();      // "Run Monitor System"
  bool FlipDebugMode();         // "&Debug Mode": returns the new check state (the switch follows it)

  // Service notifications.
  void ServiceStarted();
  void ServiceStopping();

  // For tests: the maintenance's compaction.
  std::function<void(const std::string&, const std::string&)> compactForTests;
  // Whether a stop has been requested; start-up looks at its safe points. By default a
  // held SIGTERM or SIGINT (see StopSignals.h); tests replace it.
  std::function<bool()> stopRequested = StopSignalPending;

 private:
  void Report(const std::string& text, const std::string& title);
  // False when a stop request ended start-up at a safe point.
  bool StartUpSteps();
  void StopDuringStartUp();
  // Adds to the configuration database what an earlier version did not have.
  void UpgradeDatabase();

  std::string commandLine_;
  OperatorMessages& messages_;
  EventLog& eventLog_;
  EventLogMessages serviceMessages_;
  ProcessStarter& starter_;
  std::string dataFolder_;
  std::string programFolder_;
  int modeType_ = kModeApplication;
  int exitCode_ = kControlExitNormal;
  bool serviceStarted_ = false;
  bool debugChecked_ = false;
  pid_t monitor_ = -1;  // the monitor started from the menu, until it has ended and is reaped
  PresenceMarker instance_;
  DatabaseFiles databases_;
  std::unique_ptr<RunScheduler> scheduler_;
  std::unique_ptr<PosixSocket> tcp1_;
};

}  // namespace ar
