#pragma once
// tamsel with its window: the single-instance test, the window over the data folder, the
// notification-area icon, show requests from other programs and the stop signals.
#include <string>

namespace ar {

// Runs the monitor until it ends; returns the exit code. Needs a display.
int RunMonitor(int argc, char** argv);

class frmtamsel;

// For pictures of the window: shows it over a data folder once its first refresh is done.
// The window owns its icon; the caller closes and deletes it. Needs a QApplication.
frmtamsel* ShowMonitorForScreenshot(const std::string& dataFolder);

// Saves such a picture as PNG; returns 0 when saved.
int SaveMonitorScreenshot(int argc, char** argv, const std::string& dataFolder, const std::string& pngPath);

}  // namespace ar
