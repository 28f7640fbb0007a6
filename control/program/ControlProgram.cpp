#include "control/program/ControlProgram.h"

#include "base/Clock.h"
#include "base/Trace.h"
#include "control/program/DatabaseMaintenance.h"
#include "control/program/StopSignals.h"
#include "control/program/SummaryReport.h"
#include "mail/SummaryMail.h"
#include "store/ConfigurationRow.h"
#include "store/DataFolder.h"
#include "store/Schema.h"

#include <stdexcept>

namespace ar {
namespace {

constexpr const char* kPreviousInstance =
    "A previous instance of Autoresponder is already running, possibly because the Autoresponder service is running. "
    "You will need to turn off the service before opening Autoresponder in application mode.";

}  // namespace

std::string VersionText() { return AR_VERSION; }
std::string MainCaption() { return "Autoresponder - Version " + VersionText(); }

ControlProgram::ControlProgram(std::string commandLine, OperatorMessages& messages, EventLog& eventLog,
                               ProcessStarter& starter)
    : commandLine_(std::move(commandLine)),
      messages_(messages),
      eventLog_(eventLog),
      serviceMessages_(eventLog),
      starter_(starter) {}

void ControlProgram::Report(const std::string& text, const std::string& title) {
  if (ServiceMode()) eventLog_.Write(text, kEventMessage);
  else messages_.ShowMessage(text, title, MessageIcon::Critical);
}

bool ControlProgram::StartUp() {
  modeType_ = CommandLineHasSwitch(commandLine_, 's') ? kModeService : kModeApplication;
  programFolder_ = ar::ProgramFolder();
  dataFolder_ = GetDataFolder();
  SetTraceFile(dataFolder_ + "/debug/trace.log");
  CreateDataSubfolders(dataFolder_);

  TraceLogNoThrow("Checking previous instance");
  if (!instance_.Acquire("velquin", dataFolder_)) {
    if (ServiceMode()) TraceLogNoThrow("Previous service already running", true);
    else messages_.ShowMessage(kPreviousInstance, "Autoresponder", MessageIcon::Critical);
    TraceLogNoThrow("Trying to end");
    exitCode_ = kControlExitAlreadyRunning;
    return false;
  }
  try {
    if (!StartUpSteps()) {
      StopDuringStartUp();
      return false;
    }
  } catch (const std::exception& e) {
    Report(std::string("frmMain_load error: ") + e.what(), "Autoresponder");
    exitCode_ = kControlExitStartUpFailed;
    return false;
  }
  // From here on the service loop, or the window's loop, takes a stop request; both keep
  // the signals held and read them, so that the program ends as asked, with code 0.
  return true;
}

void ControlProgram::StopDuringStartUp() {
  TraceLogNoThrow("Stop requested during start-up");
  exitCode_ = kControlExitNormal;
  if (!ServiceMode()) return;
  NotifyServiceStopping();
  ServiceStopping();
}

bool ControlProgram::StartUpSteps() {
  TraceLogNoThrow("Passed previous instance");
  TraceLogNoThrow("frmMain_load command: " + commandLine_);
  TraceLogNoThrow(ServiceMode() ? "Service mode" : "Application mode");
  if (CommandLineHasSwitch(commandLine_, 'd')) SetDebugSwitch(true);
  TraceLogNoThrow("Application path: " + programFolder_);

  SeedDatabases(programFolder_, dataFolder_);
  if (stopRequested()) return false;

  MaintenanceHooks hooks;
  hooks.compact = compactForTests;
  hooks.trace = [](const std::string& line) { TraceLogNoThrow(line); };
  hooks.problem = [this](const std::string& text) { Report(text, "Autoresponder Database Problem"); };
  hooks.stopRequested = stopRequested;
  hooks.working = [this] {
    if (ServiceMode()) NotifyServiceStillStarting();
  };
  if (MaintainDatabases(dataFolder_, hooks) == MaintenanceOutcome::Stopped || stopRequested()) return false;

  TraceLogNoThrow("Opening db connections");
  databases_.Open(dataFolder_);
  UpgradeDatabase();
  TraceLogNoThrow("Loading configuration data");
  // A configuration that cannot be read stops the start here, with its reason.
  (void)ConfigurationRow::Read(databases_.config);
  scheduler_ = std::make_unique<RunScheduler>(databases_.config, programFolder_, dataFolder_, starter_);
  tcp1_ = std::make_unique<PosixSocket>();
  TraceLogNoThrow("Opening screens");
  return true;
}

void ControlProgram::UpgradeDatabase() {
  try {
    UpgradeAutoresponderSchema(databases_.config);
  } catch (const std::exception& e) {
    // The processor reads a missing column as its default; only saving the configuration
    // then fails, with this reason.
    Report(std::string("The database could not be brought up to date: ") + e.what(), "Autoresponder Database Problem");
  }
}

void ControlProgram::FinishStartUp() {
  TraceLogNoThrow("Mode type: " + std::to_string(modeType_));
  TraceLogNoThrow(ServiceMode() ? "Service mode screen hide" : "Application mode show project list");
}

void ControlProgram::TimerProcessTick() {
  // A monitor started from the menu is reaped here once it has ended.
  if (monitor_ > 0 && !starter_.Running(monitor_)) monitor_ = -1;
  scheduler_->TimerTick();
}

void ControlProgram::TimerSummaryTick() {
  try {
    if (!DailySummaryDue(databases_.config, NowDays())) return;
    CreateSummaryReport(databases_.config, databases_.subscribers, dataFolder_);
    SendSummaryReportEmail(*tcp1_, databases_.config, dataFolder_, Messages(), TraceLog);
  } catch (const std::exception& e) {
    // The daily timer must keep ticking whatever went wrong with one report.
    TraceLogNoThrow(std::string("frmMain/timerSummaryReportEmail_Timer: Error ") + e.what(), true);
  }
}

void ControlProgram::SendSummaryEmail() {
  CreateSummaryReport(databases_.config, databases_.subscribers, dataFolder_);
  SendSummaryReportEmail(*tcp1_, databases_.config, dataFolder_, Messages(), TraceLog);
}

void ControlProgram::RunEventProcessing() {
  scheduler_->StartEventProcessing(0);
  Messages().ShowMessage("Run event checking for all autoresponders has been queued", "", MessageIcon::Information);
}

void ControlProgram::RunMonitorSystem() {
  const std::string program = programFolder_ + "/tamsel";
  if (!FileExists(program)) throw std::runtime_error("The monitor program " + program + " is not installed");
  if (monitor_ > 0) starter_.Running(monitor_);
  monitor_ = starter_.Start(program, "");
}

bool ControlProgram::FlipDebugMode() {
  // The switch follows the menu's check mark, which starts cleared even after "/d".
  debugChecked_ = !debugChecked_;
  SetDebugSwitch(debugChecked_);
  return debugChecked_;
}

void ControlProgram::ServiceStarted() {
  if (!serviceStarted_) eventLog_.Write("Autoresponder starting", kEventStarting);
  serviceStarted_ = true;
}

void ControlProgram::ServiceStopping() {
  eventLog_.Write("Autoresponder stopping", kEventStopping);
  serviceStarted_ = false;
}

}  // namespace ar
