#pragma once
// The main window of application mode: a frame for the operator's windows, the menu,
// and the two timers of the scheduler.
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <map>
#include <vector>

class QAction;
class QMdiArea;
class QMenu;
class QTimer;

namespace ar {

class ControlProgram;
class frmProjectList;

class frmMain : public QMainWindow {
  Q_OBJECT
 public:
  explicit frmMain(ControlProgram& program, QWidget* parent = nullptr);
  // The openers it put in lead to this window: they go with it.
  ~frmMain() override;

  bool AppClosing() const { return appClosing_; }
  QMdiArea* Area() const { return area_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QTimer* AddTimer(const char* objectName, std::function<void()> tick);
  void Tick(QTimer* timer);
  // Runs a menu entry or a tick; ticks that fall meanwhile are held back until the
  // outermost handler has finished, then run once each.
  void Handle(const std::function<void()>& handler);
  QAction* AddEntry(QMenu* menu, const char* objectName, const char* text, void (frmMain::*slot)());
  // Runs a command of the File menu; a failure is shown in a box titled after the entry,
  // and the program goes on.
  void Guarded(const char* entry, const std::function<void()>& command);
  void ViewLog(const char* name);
  void OpenDocument(const char* name);
  void UpdateWindowMenu();

  void SendSummaryEmail();
  void RunEventProcessing();
  void RunMonitorSystem();
  void BlackoutDays();
  void Exit();
  void DebugMode();
  void Configuration();
  void ManageTemplates();
  void ViewTrace() { ViewLog("trace.log"); }
  void ViewTracepop() { ViewLog("tracepop.log"); }
  void HelpFiles() { OpenDocument("README.md"); }
  void Support() { OpenDocument("SUPPORT.md"); }
  void About();

  ControlProgram& program_;
  QMdiArea* area_;
  QMenu* menuWindow_;
  QPointer<frmProjectList> projectList_;  // gone once the frame has closed it
  QAction* menuDebugMode_ = nullptr;
  QTimer* timerProcess_;
  QTimer* timerSummaryReportEmail_;
  bool appClosing_ = false;
  int handling_ = 0;
  std::map<QTimer*, std::function<void()>> ticks_;
  std::vector<QTimer*> held_;
};

}  // namespace ar
