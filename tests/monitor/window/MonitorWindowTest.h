#pragma once
// What the monitor's window tests share: the offscreen application, a notification area
// that a test can give or take away and click, and a window over a prepared data folder
// with its own process list and a program starter that only records.
#include "monitor/window/NotificationIcon.h"
#include "monitor/window/frmtamsel.h"
#include "tests/monitor/MonitorData.h"
#include "tests/support/NamedChild.h"
#include "widgets/MessageBoxes.h"

#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace ar::test {

inline QApplication& MonitorApplication() {
  static int argc = 1;
  static char name[] = "tamsel";
  static char* argv[] = {name, nullptr};
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Never destroyed: a static application would outlive the window system's own statics.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

class FakeNotificationIcon final : public NotificationIcon {
 public:
  explicit FakeNotificationIcon(bool area) : area_(area) {}
  bool Add(const QIcon& icon, const QString& tip, QMenu* popup) override {
    withPicture = !icon.isNull();
    toolTip = tip.toStdString();
    menu = popup;
    shown_ = area_;
    return area_;
  }
  void Modify() override { ++modified; }
  void Delete() override {
    shown_ = false;
    ++deleted;
  }
  bool Shown() const override { return shown_; }
  void DoubleClick() { emit OpenRequested(); }

  bool withPicture = false;
  std::string toolTip;
  QMenu* menu = nullptr;
  int modified = 0;
  int deleted = 0;

 private:
  bool area_;
  bool shown_ = false;
};

class MonitorWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MonitorApplication();
    MessageBoxes::AnswerForTests();
    std::filesystem::create_directory(processes.Path() + "/1");
  }
  void TearDown() override {
    window.reset();
    MessageBoxes::ShowForReal();
    SetDebugSwitch(false);
  }

  // Shows the window after its start steps and waits for the first refresh; the refresh
  // timer is stopped so that each test refreshes when it means to.
  void Open(bool notificationArea = true) {
    icon = std::make_unique<FakeNotificationIcon>(notificationArea);
    MonitorSetup setup;
    setup.dataFolder = data.db.Folder();
    setup.programFolder = "/opt/autoresponder";
    setup.procRoot = processes.Path();
    setup.startProgram = [this](const std::string& program) {
      started.push_back(program);
      return startWorks;
    };
    window = std::make_unique<frmtamsel>(setup, *icon);
    window->show();
    window->Load();
    timerWasActive = Timer()->isActive();
    Timer()->stop();
    WaitForRefresh();
  }
  void Refresh() {
    window->RefreshStats();
    WaitForRefresh();
  }
  void WaitForRefresh() {
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->Refreshing() && window->RefreshesDone() > 0; }, 30000));
  }
  QTimer* Timer() { return window->findChild<QTimer*>("timerRefreshStats"); }
  template <class T>
  T* Child(const char* name) {
    return NamedChild<T>(window.get(), name);
  }
  // A process of the list, by the path of its program file.
  void AddProcess(const std::string& exe) {
    const std::string folder = processes.Path() + "/" + std::to_string(++lastPid);
    std::filesystem::create_directory(folder);
    std::filesystem::create_symlink(exe, folder + "/exe");
  }

  MonitorData data;
  TempFolder processes;
  int lastPid = 100;
  std::unique_ptr<FakeNotificationIcon> icon;
  std::unique_ptr<frmtamsel> window;
  std::vector<std::string> started;
  bool startWorks = true;
  bool timerWasActive = false;
};

}  // namespace ar::test
