#pragma once
// basCheckProcesses: whether a program runs, from the process list.
#include <string>

namespace ar {

// True when a running process's program file is named programName (letter case
// ignored), in whatever folder; a folder or a longer file name that merely contains it
// does not count. A process whose program file cannot be read (another user's) is
// passed over. An error is traced as "IsEXEInTaskList: " and gives false.
// procRoot: the process list; tests give a folder of their own.
bool IsEXEInTaskList(const std::string& programName, const std::string& procRoot = "/proc");

// The program file's name within a /proc/<pid>/exe link target: the text after the last
// "/", without the " (deleted)" the kernel adds once the file has been replaced.
std::string ProgramFileName(const std::string& linkTarget);

}  // namespace ar
