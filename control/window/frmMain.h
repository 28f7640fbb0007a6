#pragma once
// The main window of application mode: a frame for the operator's windows, the menu,
// and the two timers of the scheduler.
#include <QMainWindow>

#include <functional>

class QAction;
class QMdiArea;
class QMenu;
class QTimer;

namespace ar {

class ControlProgram;

class frmMain : public QMainWindow {
  Q_OBJECT
 public:
  explicit frmMain(ControlProgram& program, QWidget* parent = nullptr);

  bool AppClosing() const { return appClosing_; }
  QMdiArea* Area() const { return area_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QAction* AddEntry(QMenu* menu, const char* objectName, const char* text, void (frmMain::*slot)());
  // Runs a menu command; a failure is shown and the program goes on.
  void Guarded(const std::function<void()>& command);
  void ViewLog(const char* name);
  void OpenDocument(const char* name);
  void UpdateWindowMenu();

  void SendSummaryEmail();
  void RunEventProcessing();
  void RunMonitorSystem();
  void Exit();
  void DebugMode();
  void ViewTrace() { ViewLog("trace.log"); }
  void ViewTracepop() { ViewLog("tracepop.log"); }
  void HelpFiles() { OpenDocument("README.md"); }
  void Support() { OpenDocument("SUPPORT.md"); }
  void About();

  ControlProgram& program_;
  QMdiArea* area_;
  QMenu* menuWindow_;
  QAction* menuDebugMode_ = nullptr;
  QTimer* timerProcess_;
  QTimer* timerSummaryReportEmail_;
  bool appClosing_ = false;
};

}  // namespace ar
