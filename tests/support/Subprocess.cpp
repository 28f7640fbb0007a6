#include "tests/support/Subprocess.h"

#include "tests/support/TempFolder.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <signal.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace ar::test {
namespace {
int g_counter = 0;
}

Subprocess::Subprocess(const std::string& program, const std::vector<std::string>& args,
                       const std::vector<std::string>& env) {
  const std::string path = program.starts_with("/") ? program : std::string(AR_BIN_DIR) + "/" + program;
  const std::string base = "/tmp/artest-proc-" + std::to_string(::getpid()) + "-" + std::to_string(++g_counter);
  outPath_ = base + ".out";
  errPath_ = base + ".err";

  std::map<std::string, std::string> vars;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const size_t eq = entry.find('=');
    if (eq != std::string::npos) vars[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (const std::string& entry : env) {
    const size_t eq = entry.find('=');
    if (eq == entry.size() - 1) vars.erase(entry.substr(0, eq));
    else vars[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  std::vector<std::string> envStrings;
  for (const auto& [k, v] : vars) envStrings.push_back(k + "=" + v);
  std::vector<char*> envp, argv;
  for (std::string& s : envStrings) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> argStrings{path};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  for (std::string& s : argStrings) argv.push_back(s.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int rc = posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + path + ": " + std::strerror(rc));
}

Subprocess::~Subprocess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  std::remove(outPath_.c_str());
  std::remove(errPath_.c_str());
}

ProcessResult Subprocess::Wait(std::chrono::milliseconds limit) {
  ProcessResult result;
  int status = 0;
  const bool ended = WaitUntil([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, limit);
  if (!ended) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
  } else if (WIFEXITED(status)) {
    result.exitCode = WEXITSTATUS(status);
  } else {
    result.exitCode = 128 + WTERMSIG(status);
  }
  pid_ = -1;
  result.out = ReadWholeFile(outPath_);
  result.err = ReadWholeFile(errPath_);
  return result;
}

ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env) {
  Subprocess p(program, args, env);
  return p.Wait();
}

ProcessResult RunSystemProgram(const std::string& path, const std::vector<std::string>& args) {
  Subprocess p(path, args, {});
  return p.Wait();
}

bool WaitUntil(const std::function<bool()>& cond, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!cond()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace ar::test
