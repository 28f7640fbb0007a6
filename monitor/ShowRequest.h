#pragma once
// Bringing the running monitor's window to the front from another program (the control
// program's autoresponder list, a second start of the monitor): the monitor listens on
// the unix socket "tamsel.socket" in the data folder, and a request is one connection
// that sends "show\n". The socket is readable by the data folder's owner and group only.
#include <string>

namespace ar {

// The monitor's window title, also the name of the presence marker it holds for its
// whole life (its single-instance test).
constexpr const char* kMonitorWindowTitle = "Autoresponder Stats";
constexpr const char* kMonitorShowRequest = "show\n";

std::string MonitorSocketPath(const std::string& dataFolder);

// Asks the monitor of that data folder to show its window. False when no monitor listens
// (or the request could not be sent).
bool RequestMonitorWindow(const std::string& dataFolder);

}  // namespace ar
