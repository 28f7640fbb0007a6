#pragma once
// The monitor's picture: a letter before a rising bar chart, for the window and the
// notification area.
#include <QIcon>

namespace ar {

QIcon MonitorIcon();

}  // namespace ar
