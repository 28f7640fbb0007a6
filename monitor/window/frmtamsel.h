#pragma once
// The monitor's window "Autoresponder Stats": whether the control program runs, whether
// a processing run is under way, the last run's outcome and the counts of the last 24
// hours, refreshed every 5 seconds. The databases are read on a thread of their own, over
// connections of their own, so the window answers at once however long the counting
// takes.
#include "monitor/RefreshLines.h"
#include "monitor/StatsReader.h"
#include "monitor/TrapLines.h"

#include <QPalette>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QThread;
class QTimer;

namespace ar {

class NotificationIcon;

struct MonitorSetup {
  std::string dataFolder;
  std::string programFolder;       // where cmdManage finds the control program
  std::string procRoot = "/proc";  // the process list
  // Starts a program without waiting for it; false when it cannot be started. Empty:
  // a detached process.
  std::function<bool(const std::string& program)> startProgram;
};

// The list holds at most this many lines; the oldest goes first.
constexpr int kMaxStatusLines = 1001;
constexpr int kRefreshIntervalMs = 5000;

class frmtamsel : public QWidget {
  Q_OBJECT
 public:
  frmtamsel(MonitorSetup setup, NotificationIcon& icon, QWidget* parent = nullptr);
  ~frmtamsel() override;

  // The start steps after the single-instance test: the start traces, the first refresh
  // (which opens the connections), the notification-area icon and the refresh timer.
  void Load();
  // Asked for while a refresh is under way, it runs once that one has finished.
  void RefreshStats();
  void LogStatus(const std::string& message, bool timeStamp);
  void ShowMonitorWindow();
  // Ends the monitor: "Exit", cmdClose, a stop signal, the end of the session.
  void EndMonitor();

  // Refreshes finished so far, and whether one is under way.
  int RefreshesDone() const { return refreshesDone_; }
  bool Refreshing() const { return refreshing_; }
  bool HasEnded() const { return ended_; }

 signals:
  // The monitor has ended: connections closed, icon removed.
  void Ended();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildWindow();
  void ShowRunning(bool running);
  void ApplyFigures(const DatabaseFigures& figures);
  void ShowFigures(const DatabaseFigures& figures);
  void ShowConnectionStatus(QLabel* label, std::optional<bool> error);
  void ManageAutoresponders();
  void StopCounting();
  void Finish();

  MonitorSetup setup_;
  NotificationIcon& icon_;
  StatsReader reader_;
  RefreshLines refreshLines_;
  TrapLines traps_;
  std::vector<std::string> refreshErrors_;  // of the refresh under way, on the window's side
  QThread* countingThread_;
  QObject* counter_;  // lives on the counting thread
  QTimer* timerRefreshStats_;
  QMenu* mnuPopup_;
  QPalette defaultPalette_;

  QLabel* lblAutoresponderRunning_;
  QListWidget* lbStatus_;
  QLabel* lblStatus_;
  QLabel* lblNumberAutoresponders_;
  QLabel* lblSMTPStatus_;
  QLabel* lblPOPStatus_;
  QLabel* lblEmailsLast24Hours_;
  QLabel* lblNewSubscribersLast24Hours_;
  QLabel* lblUnSubscribesLast24Hours_;
  QPushButton* cmdManage_;
  QPushButton* cmdClose_;

  bool refreshing_ = false;
  bool refreshAgain_ = false;  // asked for while one was under way
  int refreshesDone_ = 0;
  bool ending_ = false;
  bool ended_ = false;
};

}  // namespace ar
