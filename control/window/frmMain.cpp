#include "control/window/frmMain.h"

#include "control/ControlProgram.h"
#include "control/window/frmFastSplash.h"
#include "store/DataFolder.h"
#include "widgets/DesktopOpener.h"
#include "widgets/MessageBoxes.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QTimer>
#include <cstdlib>

namespace ar {

frmMain::frmMain(ControlProgram& program, QWidget* parent) : QMainWindow(parent), program_(program) {
  setObjectName("frmMain");
  setWindowTitle(QString::fromStdString(MainCaption()));
  area_ = new QMdiArea(this);
  area_->setObjectName("mdiArea");
  setCentralWidget(area_);
  resize(1000, 700);

  QMenu* file = menuBar()->addMenu("&File");
  AddEntry(file, "menuSendSummaryEmail", "Send Summary Email", &frmMain::SendSummaryEmail);
  AddEntry(file, "menuRunEventProcessing", "Run Event Processing", &frmMain::RunEventProcessing);
  AddEntry(file, "menuRunMonitorSystem", "Run Monitor System", &frmMain::RunMonitorSystem);
  AddEntry(file, "menuExit", "E&xit", &frmMain::Exit);

  // The settings windows come with later work; their entries stand ready, switched off.
  QMenu* settings = menuBar()->addMenu("&Settings");
  for (const auto& [name, text] : {std::pair{"menuConfiguration", "&Configuration"},
                                   std::pair{"menuBlackoutDays", "Blackout Days"},
                                   std::pair{"menuManageTemplates", "Manage &Templates"}})
    AddEntry(settings, name, text, nullptr)->setEnabled(false);

  QMenu* debug = menuBar()->addMenu("&Debug");
  menuDebugMode_ = AddEntry(debug, "menuDebugMode", "&Debug Mode", &frmMain::DebugMode);
  menuDebugMode_->setCheckable(true);
  menuDebugMode_->setChecked(false);  // cleared even when "/d" was given
  AddEntry(debug, "menuViewTrace", "View trace.log", &frmMain::ViewTrace);
  AddEntry(debug, "menuViewTracepop", "View tracepop.log", &frmMain::ViewTracepop);

  menuWindow_ = menuBar()->addMenu("&Window");
  menuWindow_->setObjectName("menuWindow");
  connect(menuWindow_, &QMenu::aboutToShow, this, &frmMain::UpdateWindowMenu);

  QMenu* help = menuBar()->addMenu("&Help");
  AddEntry(help, "menuHelpFiles", "&Help Files", &frmMain::HelpFiles);
  AddEntry(help, "menuForums", "&Forums", &frmMain::Support);
  AddEntry(help, "menuSupport", "Support", &frmMain::Support);
  AddEntry(help, "menuUpdate", "Check for updates", &frmMain::Support);
  AddEntry(help, "menuAbout", "&About", &frmMain::About);

  timerProcess_ = new QTimer(this);
  timerProcess_->setObjectName("timerProcess");
  timerProcess_->setInterval(kTimerIntervalMs);
  // A tick is not run again while one is being handled (a message box may be open).
  connect(timerProcess_, &QTimer::timeout, this, [this] {
    timerProcess_->stop();
    program_.TimerProcessTick();
    timerProcess_->start();
  });
  timerSummaryReportEmail_ = new QTimer(this);
  timerSummaryReportEmail_->setObjectName("timerSummaryReportEmail");
  timerSummaryReportEmail_->setInterval(kTimerIntervalMs);
  connect(timerSummaryReportEmail_, &QTimer::timeout, this, [this] {
    timerSummaryReportEmail_->stop();
    program_.TimerSummaryTick();
    timerSummaryReportEmail_->start();
  });
  timerProcess_->start();
  timerSummaryReportEmail_->start();
}

QAction* frmMain::AddEntry(QMenu* menu, const char* objectName, const char* text, void (frmMain::*slot)()) {
  QAction* action = menu->addAction(text);
  action->setObjectName(objectName);
  if (slot) connect(action, &QAction::triggered, this, slot);
  return action;
}

void frmMain::Guarded(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& e) {
    MessageBoxes::Show(this, std::string("Error: ") + e.what(), "", MessageIcon::Critical);
  }
}

void frmMain::closeEvent(QCloseEvent* event) {
  appClosing_ = true;
  area_->closeAllSubWindows();
  event->accept();
}

void frmMain::SendSummaryEmail() {
  Guarded([this] { program_.SendSummaryEmail(); });
}

void frmMain::RunEventProcessing() {
  Guarded([this] { program_.RunEventProcessing(); });
}

void frmMain::RunMonitorSystem() {
  Guarded([this] { program_.RunMonitorSystem(); });
}

void frmMain::Exit() {
  // Ends the process at once: no close handling of any window runs.
  std::_Exit(0);
}

void frmMain::DebugMode() {
  const bool on = program_.FlipDebugMode();
  menuDebugMode_->setChecked(on);
  MessageBoxes::Show(this, on ? "Debug has been turn on" : "Debug has been turn off", "Debug Mode",
                     MessageIcon::Information);
}

void frmMain::ViewLog(const char* name) {
  const std::string path = program_.DataFolder() + "/debug/" + name;
  if (!FileExists(path)) {
    MessageBoxes::Show(this, std::string("No ") + name + " file exists yet", "", MessageIcon::Information);
    return;
  }
  DesktopOpener::Open(path);
}

void frmMain::OpenDocument(const char* name) {
  const std::string path = program_.ProgramFolder() + "/doc/" + name;
  if (!DesktopOpener::Open(path))
    MessageBoxes::Show(this, "Cannot open " + path, "", MessageIcon::Critical);
}

void frmMain::About() {
  frmFastSplash splash(false, this);
  splash.exec();
}

void frmMain::UpdateWindowMenu() {
  menuWindow_->clear();
  for (QMdiSubWindow* w : area_->subWindowList()) {
    QAction* a = menuWindow_->addAction(w->windowTitle());
    a->setCheckable(true);
    a->setChecked(w == area_->activeSubWindow());
    connect(a, &QAction::triggered, this, [this, w] { area_->setActiveSubWindow(w); });
  }
}

}  // namespace ar
