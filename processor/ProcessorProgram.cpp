#include "processor/ProcessorProgram.h"

#include "base/Trace.h"
#include "mail/Timeouts.h"
#include "store/DataFolder.h"

#include <cstdlib>

namespace ar {

namespace {
// A time-out in milliseconds from the environment, when it holds a sane one.
int TimeoutFromEnvironment(const char* name, int fallback) {
  if (const char* env = std::getenv(name); env && *env) {
    const long v = std::strtol(env, nullptr, 10);
    if (v >= 0 && v <= 3600000) return static_cast<int>(v);
  }
  return fallback;
}
}  // namespace

int DatabaseTimeoutMs() { return TimeoutFromEnvironment("AUTORESPONDER_DB_TIMEOUT_MS", 30000); }

int SmtpReplyTimeoutMs() {
  const int ms = TimeoutFromEnvironment("AUTORESPONDER_SMTP_TIMEOUT_MS", kSmtpReplyTimeoutMs);
  return ms > 0 ? ms : kSmtpReplyTimeoutMs;
}

ProcessorProgram::ProcessorProgram(std::string commandLine)
    : commandLine_(ParseProcessorCommandLine(commandLine)) {}

int ProcessorProgram::StartUp(std::string& error) {
  ctx_.dataFolder = GetDataFolder();
  ctx_.debug = commandLine_.debug;
  SetDebugSwitch(commandLine_.debug);
  SetTraceFile(ctx_.dataFolder + "/debug/tracepop.log");

  // The marker stands for the run's window: held from start to end, and a second
  // processor on the same data folder ends here without touching the databases.
  if (!marker_.Acquire("ostrel", ctx_.dataFolder)) {
    error = "a processing run is already active for " + ctx_.dataFolder;
    return kExitAlreadyRunning;
  }

  Connection::Options options;
  options.busyTimeoutMs = DatabaseTimeoutMs();
  try {
    files_.Open(ctx_.dataFolder, options);
  } catch (const std::exception& e) {
    error = e.what();
    TracePop(std::string("frmProcess:Form_Load: ") + e.what(), true);
    return kExitDatabaseError;
  }
  ctx_.config = &files_.config;
  ctx_.subscribers = &files_.subscribers;
  ctx_.status = &status_;
  ctx_.socket = &socket_;
  ctx_.stop = &stop_;
  socket_.SetStopToken(&stop_);
  ctx_.newSocket = [this]() -> std::unique_ptr<Socket> {
    auto socket = std::make_unique<PosixSocket>();
    socket->SetStopToken(&stop_);
    return socket;
  };
  events_.Messages().SetTimeouts(kSmtpConnectTimeoutMs, SmtpReplyTimeoutMs());
  ctx_.closeDatabases = [this] { files_.Close(); };
  run_ = std::make_unique<ProcessRun>(ctx_, mailbox_, events_, commandLine_.autoresponderId);
  run_->StartUp();
  return kExitOk;
}

RunOutcome ProcessorProgram::Run() {
  const RunOutcome outcome = run_->Run();
  return outcome;
}

}  // namespace ar
