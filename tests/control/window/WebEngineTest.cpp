#include "tests/control/window/WebEngineTest.h"

#include "widgets/web/WebEngineSetUp.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

// Under AddressSanitizer: the engine deletes some objects through a base of another size,
// which would be reported from inside the engine; nothing of the project's own is passed
// over.
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }

namespace ar::test {
namespace {

std::string& RuntimeFolder() {
  static std::string folder;
  return folder;
}

void RemoveRuntimeFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(RuntimeFolder(), ignored);
}

}  // namespace

QApplication& WebEngineApplication() {
  static QApplication& app = []() -> QApplication& {
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-dev-shm-usage", 1);
    std::string folder = (std::filesystem::temp_directory_path() / "artest-runtime-XXXXXX").string();
    if (::mkdtemp(folder.data())) {  // 0700
      RuntimeFolder() = folder;
      ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
      std::atexit(RemoveRuntimeFolder);
    }
    // As the control program does: the sandbox off when running as root, the scheme of
    // the program's own pages registered.
    PrepareWebEngine();
    return OffscreenApplication();
  }();
  return app;
}

}  // namespace ar::test
