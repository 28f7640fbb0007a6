#include "base/Trace.h"

#include "base/Clock.h"
#include "base/DayNumber.h"
#include "base/FileMode.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <stdexcept>
#include <unistd.h>

namespace ar {
namespace {
std::atomic<bool> g_debug{false};
std::string g_traceFile;
// Sessions that run at once trace from their own threads: one line is written whole
// before the next one starts.
std::mutex g_appending;

bool AppendLine(const std::string& message, std::string& error) {
  const std::string line = FormatGeneralDateTime(NowDays()) + " " + message + "\r\n";
  const std::lock_guard<std::mutex> lock(g_appending);
  const int fd = ::open(g_traceFile.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kPrivateFileMode);
  if (fd < 0) {
    error = "cannot open " + g_traceFile + ": " + std::strerror(errno);
    return false;
  }
  size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = "cannot write " + g_traceFile + ": " + std::strerror(errno);
      ::close(fd);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  return true;
}
}  // namespace

void SetDebugSwitch(bool on) { g_debug = on; }
bool DebugSwitch() { return g_debug; }

void SetTraceFile(const std::string& path) { g_traceFile = path; }
const std::string& TraceFile() { return g_traceFile; }

void TracePop(const std::string& message, bool force) {
  if (!force && !g_debug) return;
  std::string error;
  (void)AppendLine(message, error);
}

void TraceLog(const std::string& message, bool force) {
  if (!force && !g_debug) return;
  std::string error;
  if (!AppendLine(message, error)) throw std::runtime_error(error);
}

void TraceLogNoThrow(const std::string& message, bool force) {
  if (!force && !g_debug) return;
  std::string error;
  (void)AppendLine(message, error);
}

bool CommandLineHasSwitch(const std::string& commandLine, char letter) {
  const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
  for (size_t i = 0; i + 1 < commandLine.size(); ++i)
    if (commandLine[i] == '/' && std::tolower(static_cast<unsigned char>(commandLine[i + 1])) == lower) return true;
  return false;
}

}  // namespace ar
