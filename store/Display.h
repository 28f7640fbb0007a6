#pragma once
// Whether windows can be shown: an X or Wayland display, or a Qt platform chosen
// explicitly (the offscreen platform of the window tests).
#include <cstdlib>

namespace ar {

inline bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    if (const char* v = std::getenv(name); v && *v) return true;
  return false;
}

}  // namespace ar
