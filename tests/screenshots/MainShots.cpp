// The main frame as the operator sees it after start-up.
#include "control/window/main/frmMain.h"
#include "tests/screenshots/Shots.h"

namespace ar::shots {

AR_SHOT(10, "frmMain", [](ShotContext& c) -> QWidget* { return &c.main; });

}  // namespace ar::shots
