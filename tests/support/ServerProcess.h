#pragma once
// Pieces shared by the real mail servers of the tests: folders owned by a service user,
// loopback readiness checks, and a private Dovecot master run in the foreground with its
// own configuration file, stopped with everything it started.
#include <chrono>
#include <string>
#include <vector>

namespace ar::test {

bool PathExists(const std::string& path);
// Makes the folder (mode 0755) and, when owner names a user, gives it to that user.
void MakeOwnedFolder(const std::string& path, const char* owner = nullptr);
// Whether something accepts a TCP connection on 127.0.0.1:port.
bool AcceptsOnLoopback(int port);
// Those of the given processes that still run (a zombie no longer runs).
std::vector<int> StillRunning(const std::vector<int>& pids);

class DovecotProcess {
 public:
  static constexpr const char* kProgram = "/usr/sbin/dovecot";

  DovecotProcess() = default;
  ~DovecotProcess() { Stop(); }
  DovecotProcess(const DovecotProcess&) = delete;
  DovecotProcess& operator=(const DovecotProcess&) = delete;

  // Starts the master with this configuration file; its output goes to outFile.
  void Start(const std::string& configFile, const std::string& outFile);
  bool Running() const { return pid_ > 0; }
  // The master and every process below it, as they are now.
  std::vector<int> Processes() const;
  // Ends the master and waits a bounded time for its processes to end on their own;
  // those still there are killed and returned (empty after an orderly stop).
  std::vector<int> Stop(std::chrono::seconds limit = std::chrono::seconds(10));

 private:
  int pid_ = -1;
};

}  // namespace ar::test
