// The statistics monitor's window over the sample data folder.
#include "monitor/window/MonitorProgram.h"
#include "monitor/window/frmtamsel.h"
#include "tests/screenshots/Shots.h"

namespace ar::shots {

AR_SHOT(90, "frmtamsel", [](ShotContext& c) -> QWidget* { return ShowMonitorForScreenshot(c.dataFolder); });

}  // namespace ar::shots
