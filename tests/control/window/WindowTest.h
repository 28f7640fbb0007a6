#pragma once
// What the window tests share: the offscreen application, a processor starter that only
// records, and a data folder with both databases for the control program.
#include "base/Trace.h"
#include "control/program/ControlProgram.h"
#include "control/window/main/WindowOpeners.h"
#include "tests/support/TestDatabases.h"
#include "widgets/DesktopOpener.h"
#include "widgets/FileDialogs.h"
#include "widgets/MessageBoxes.h"
#include "widgets/Pause.h"

#include <QApplication>
#include <QStandardPaths>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace ar::test {

inline QApplication& OffscreenApplication() {
  static int argc = 1;
  static char name[] = "velquin";
  static char* argv[] = {name, nullptr};
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Each test runs in a process of its own, several at once: a home of its own keeps the
  // remembered folders and window places of one test out of another's, and out of the user's.
  static char home[] = "/tmp/velquin-window-test-XXXXXX";
  static const bool made = [] {
    if (::mkdtemp(home) == nullptr) std::abort();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(home, ignored);
    });
    return true;
  }();
  (void)made;
  ::setenv("HOME", home, 1);
  ::setenv("XDG_CONFIG_HOME", (std::string(home) + "/.config").c_str(), 1);
  // Never destroyed: a static application object would outlive the window system's own
  // statics at exit.
  static QApplication* app = [] {
    auto* created = new QApplication(argc, argv);
    created->setOrganizationName("Autoresponder");
    created->setApplicationName("velquin");
    QStandardPaths::setTestModeEnabled(true);
    return created;
  }();
  return *app;
}

struct RecordingStarter : ProcessStarter {
  struct Started {
    std::string program, argument;
  };
  std::vector<Started> started;
  pid_t Start(const std::string& program, const std::string& argument) override {
    started.push_back({program, argument});
    return 4242;
  }
  bool Running(pid_t) override { return false; }
};

// A data folder for the program, every message box and file dialog answered, every wait
// instant and every opened file recorded; the switches return to their defaults afterwards.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("AUTORESPONDER_DATA", db.Folder().c_str(), 1);
    MessageBoxes::AnswerForTests();
    FileDialogs::AnswerForTests();
    Pause::InstantForTests();
    DesktopOpener::RecordForTests();
  }
  void TearDown() override {
    MessageBoxes::ShowForReal();
    FileDialogs::ShowForReal();
    Pause::WaitForReal();
    DesktopOpener::OpenForReal();
    Openers() = WindowOpeners{};
    CurrentAutoresponderID() = 0;
    CurrentAutoresponderEventID() = 0;
    ::unsetenv("AUTORESPONDER_DATA");
    SetDebugSwitch(false);
    SetTraceFile("");
  }
  static const std::vector<ShownMessage>& Boxes() { return MessageBoxes::Shown(); }

  TestDatabases db;
  RecordingEventLog log;
  RecordingStarter starter;
};

}  // namespace ar::test
