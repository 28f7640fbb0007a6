#pragma once
// The screenshot program: the control program's real windows over a sample data folder,
// each shown in turn and saved as a PNG file, so that a person can look at them. Each
// window's file registers its shots with AR_SHOT; they are taken in the order given.
#include <QWidget>

#include <functional>
#include <string>

namespace ar {

class ControlProgram;
class frmMain;

namespace shots {

struct ShotContext {
  ControlProgram& program;
  frmMain& main;
  std::string dataFolder;
};

// Shows the window to be taken and returns it (a child of the main frame, or a top-level
// dialog shown without blocking); the program takes the picture once it is painted, then
// closes and deletes what the shot returned unless the shot returns the main window.
using Shot = std::function<QWidget*(ShotContext&)>;

struct Registrar {
  Registrar(int order, const char* name, Shot shot);
};

}  // namespace shots
}  // namespace ar

#define AR_SHOT_CAT2(a, b) a##b
#define AR_SHOT_CAT(a, b) AR_SHOT_CAT2(a, b)
// AR_SHOT(10, "frmMain", [](ShotContext& c) -> QWidget* { ... });
#define AR_SHOT(order, name, ...) \
  static const ::ar::shots::Registrar AR_SHOT_CAT(shotRegistrar, __LINE__)(order, name, __VA_ARGS__)
