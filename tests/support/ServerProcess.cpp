#include "tests/support/ServerProcess.h"

#include "tests/support/Subprocess.h"

#include <arpa/inet.h>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <netinet/in.h>
#include <pwd.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ar::test {

namespace {

// The parent and state of a process from /proc/<pid>/stat; false when it is gone.
bool ProcessStat(int pid, int& parent, char& state) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), {});
  const size_t close = text.rfind(')');  // the command name may hold blanks and parentheses
  if (close == std::string::npos || close + 4 >= text.size()) return false;
  state = text[close + 2];
  parent = std::atoi(text.c_str() + close + 4);
  return true;
}

}  // namespace

bool PathExists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

void MakeOwnedFolder(const std::string& path, const char* owner) {
  ::mkdir(path.c_str(), 0755);
  if (owner) {
    if (passwd* pw = ::getpwnam(owner)) {
      if (::chown(path.c_str(), pw->pw_uid, pw->pw_gid) != 0) throw std::runtime_error("chown failed: " + path);
    }
  }
}

bool AcceptsOnLoopback(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(fd);
  return ok;
}

std::vector<int> StillRunning(const std::vector<int>& pids) {
  std::vector<int> running;
  for (int pid : pids) {
    int parent = 0;
    char state = 0;
    if (ProcessStat(pid, parent, state) && state != 'Z' && state != 'X') running.push_back(pid);
  }
  return running;
}

void DovecotProcess::Start(const std::string& configFile, const std::string& outFile) {
  if (Running()) throw std::logic_error("dovecot is already running");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  const char* argv[] = {kProgram, "-F", "-c", configFile.c_str(), nullptr};
  pid_t pid = -1;
  int rc = posix_spawn(&pid, kProgram, &actions, nullptr, const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("dovecot did not start");
  pid_ = pid;
}

std::vector<int> DovecotProcess::Processes() const {
  if (!Running()) return {};
  std::map<int, int> parentOf;
  if (DIR* dir = ::opendir("/proc")) {
    while (dirent* e = ::readdir(dir)) {
      const int pid = std::atoi(e->d_name);
      int parent = 0;
      char state = 0;
      if (pid > 0 && ProcessStat(pid, parent, state)) parentOf[pid] = parent;
    }
    ::closedir(dir);
  }
  std::vector<int> found{pid_};
  for (size_t i = 0; i < found.size(); ++i)
    for (const auto& [pid, parent] : parentOf)
      if (parent == found[i]) found.push_back(pid);
  return found;
}

std::vector<int> DovecotProcess::Stop(std::chrono::seconds limit) {
  if (!Running()) return {};
  const std::vector<int> all = Processes();
  ::kill(pid_, SIGTERM);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
  // The master does not wait for its log process, which ends once its pipes close.
  WaitUntil([&] { return StillRunning(all).empty(); }, limit);
  std::vector<int> left = StillRunning(all);
  for (int pid : left) ::kill(pid, SIGKILL);
  return left;
}

}  // namespace ar::test
