#pragma once
// Runs one of the built programs as a child process with a chosen environment.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace ar::test {

struct ProcessResult {
  int exitCode = -1;  // -1 when it did not end in time (it is killed)
  std::string out, err;
};

class Subprocess {
 public:
  // program: a file of the program folder (AR_BIN_DIR) such as "ostrel".
  // env: extra "NAME=value" entries over this process's environment, "NAME=" clears one.
  Subprocess(const std::string& program, const std::vector<std::string>& args, const std::vector<std::string>& env);
  // path: an absolute path, or a file of the program folder.
  ~Subprocess();
  Subprocess(const Subprocess&) = delete;
  Subprocess& operator=(const Subprocess&) = delete;

  ProcessResult Wait(std::chrono::milliseconds limit = std::chrono::seconds(60));
  int Pid() const { return pid_; }

 private:
  int pid_ = -1;
  std::string outPath_, errPath_;
};

// Runs a program of the system (an absolute path) to its end.
ProcessResult RunSystemProgram(const std::string& path, const std::vector<std::string>& args);

// Runs a program to its end.
ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env);

// Polls cond until it holds or the limit passes; returns whether it held.
bool WaitUntil(const std::function<bool()>& cond, std::chrono::milliseconds limit = std::chrono::seconds(20));

}  // namespace ar::test
