#pragma once
// What the web-engine window tests share: the engine's environment, set in the process
// before the application exists (no display, so the offscreen platform draws without GLX;
// a small /dev/shm cannot stall a load; a private runtime folder), then the offscreen
// application of the other window tests.
#include "tests/control_window/WindowTest.h"
#include "widgets/web/WebEngineSetUp.h"

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace ar::test {

inline QApplication& WebApplication() {
  static const bool prepared = [] {
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-dev-shm-usage", 0);
    static std::string runtime = [] {
      const char* tmp = std::getenv("TMPDIR");
      std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/ar-webengine-XXXXXX";
      return ::mkdtemp(folder.data()) ? folder : std::string();
    }();
    if (!runtime.empty()) {
      ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
      std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(runtime, ignored);
      });
    }
    PrepareWebEngine();
    return true;
  }();
  (void)prepared;
  return OffscreenApplication();
}

}  // namespace ar::test
