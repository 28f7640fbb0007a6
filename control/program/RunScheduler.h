#pragma once
// Starts processing runs: one ostrel process per run, at most one run at a time, on the
// configured cycle (timerProcess) and on request.
#include "store/Connection.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>

namespace ar {

// How a processor is started and watched; tests replace it.
class ProcessStarter {
 public:
  virtual ~ProcessStarter() = default;
  // Starts program with one argument, without waiting; returns its process id. Throws
  // std::runtime_error when it cannot be started.
  virtual pid_t Start(const std::string& program, const std::string& argument) = 0;
  // Whether that process is still running (reaps it once it has ended).
  virtual bool Running(pid_t pid) = 0;
};

class PosixProcessStarter final : public ProcessStarter {
 public:
  pid_t Start(const std::string& program, const std::string& argument) override;
  bool Running(pid_t pid) override;
};

class RunScheduler {
 public:
  RunScheduler(Connection& main, std::string programFolder, std::string dataFolder, ProcessStarter& starter);

  // Deletes past blackout days, then starts a run for one autoresponder (0: all) unless
  // one is active. Errors reach the caller.
  void StartEventProcessing(int64_t autoresponderId);
  // One tick of the processing-run timer; traps its own errors.
  void TimerTick();

  // The processor's argument: the identifier, and "/d" right behind it in debug mode.
  static std::string ProcessorArgument(int64_t autoresponderId, bool debug);
  bool RunActive();
  const std::optional<double>& LastRunStart() const { return lastRunStart_; }

 private:
  Connection& main_;
  std::string programFolder_;
  std::string dataFolder_;
  ProcessStarter& starter_;
  std::optional<double> lastRunStart_;
  pid_t child_ = -1;  // the processor this program started last, until it ends
};

}  // namespace ar
