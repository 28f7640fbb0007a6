#pragma once
// What the web-engine window tests share: the offscreen application with the engine's
// environment, which the test program sets itself, so that ctest, make test-asan and a
// direct run need nothing set by hand.
#include "tests/control/window/WindowTest.h"

namespace ar::test {

// Offscreen without an X display (with DISPLAY set the offscreen platform draws through
// GLX), the engine's sandbox off when running as root (it refuses to start otherwise),
// its shared memory in a plain folder (a small /dev/shm makes a load hang) and a private
// runtime folder. Call it before any window or page is made.
QApplication& WebEngineApplication();

class WebEngineTest : public WindowTest {
 protected:
  void SetUp() override {
    WebEngineApplication();
    WindowTest::SetUp();
  }
};

}  // namespace ar::test
