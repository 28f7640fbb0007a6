#pragma once
// Trace logs of the debug folder. A trace line is the general date-time, one blank and
// the message, ended by CR LF; every line is one open, append and close of the file.
#include <string>

namespace ar {

// The program-wide debug switch.
void SetDebugSwitch(bool on);
bool DebugSwitch();

// Where this program's trace lines go (full path of the log file).
void SetTraceFile(const std::string& path);
const std::string& TraceFile();

// Appends one line to the trace file when forced or when the debug switch is on.
// TracePop (the processor's writer) never fails: a line that cannot be written is lost.
void TracePop(const std::string& message, bool force = false);
// TraceLog (the control program's and the monitor's writer) throws std::runtime_error
// when the line cannot be written, so that the caller's own trap handles it.
void TraceLog(const std::string& message, bool force = false);
// The same for a line beside an outcome that is reported or handled anyway: a line that
// cannot be written (the trace folder gone, a full disk) is passed over, never thrown.
void TraceLogNoThrow(const std::string& message, bool force = false);

// True when the command line holds "/" and the letter, in either letter case, anywhere.
bool CommandLineHasSwitch(const std::string& commandLine, char letter);
// "/d", the debug switch of every program.
inline bool CommandLineHasDebugSwitch(const std::string& commandLine) { return CommandLineHasSwitch(commandLine, 'd'); }

}  // namespace ar
