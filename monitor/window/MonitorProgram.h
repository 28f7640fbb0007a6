#pragma once
// tamsel with its window: the single-instance test, the window over the data folder, the
// notification-area icon, show requests from other programs and the stop signals.
#include <string>

namespace ar {

// Runs the monitor until it ends; returns the exit code. Needs a display.
int RunMonitor(int argc, char** argv);

// Shows the window over a data folder, waits for its first refresh and saves a picture
// of it as PNG (the documentation's screenshots). Returns 0 when saved.
int SaveMonitorScreenshot(int argc, char** argv, const std::string& dataFolder, const std::string& pngPath);

}  // namespace ar
