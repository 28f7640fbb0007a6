#include "control/window/main/frmMain.h"

#include "control/events/Templates.h"
#include "control/program/ControlProgram.h"
#include "control/window/autoresponder/frmProjectDetail.h"
#include "control/window/events/frmEventDetail.h"
#include "control/window/events/frmPageProperties.h"
#include "control/window/main/WindowOpeners.h"
#include "control/window/main/frmFastSplash.h"
#include "control/window/main/frmProjectList.h"
#include "control/window/settings/frmBlackoutDays.h"
#include "control/window/settings/frmConfiguration.h"
#include "control/window/settings/frmTestPOPServer.h"
#include "control/window/subscribers/SubscriberWindowOpeners.h"
#include "control/window/templates/frmTemplates.h"
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

  QMenu* settings = menuBar()->addMenu("&Settings");
  AddEntry(settings, "menuConfiguration", "&Configuration", &frmMain::Configuration);
  AddEntry(settings, "menuBlackoutDays", "Blackout Days", &frmMain::BlackoutDays);
  AddEntry(settings, "menuManageTemplates", "Manage &Templates", &frmMain::ManageTemplates);

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

  Openers().projectDetail = [this](QWidget*) {
    OpenProjectDetail(*area_, ControlContext{program_.Main(), program_.Subscribers(), program_.DataFolder(),
                                             program_.ProgramFolder()});
  };
  // The event editor, modal over the autoresponder editor that opens it.
  Openers().eventDetail = [this](QWidget* from) {
    OpenEventDetail(from, ControlContext{program_.Main(), program_.Subscribers(), program_.DataFolder(),
                                         program_.ProgramFolder()});
  };
  // The mailbox server test, opened from the autoresponder editor.
  Openers().mailboxTest = [](QWidget* from, const MailboxTestSettings& s) {
    frmTestPOPServer test({s.serverType, s.server, s.username, s.password, s.tls}, from);
    test.exec();
  };
  PutInSubscriberOpeners(ControlContext{program_.Main(), program_.Subscribers(), program_.DataFolder(),
                                        program_.ProgramFolder()});

  // The template window and the page properties, opened from the event editor.
  Openers().chooseTemplate = [this](QWidget* from) -> std::optional<std::string> {
    frmTemplates window(program_.Main(), TemplatesFolder(program_.ProgramFolder()), true, from);
    window.exec();
    return window.ChosenText();
  };
  Openers().pageProperties = [](QWidget* from, PageProperties& properties) {
    frmPageProperties window(properties, from);
    window.exec();
    return window.Saved();
  };

  // Ticks that fall while a handler of this window runs (a message box or the splash may
  // be open) wait until it has finished.
  timerProcess_ = AddTimer("timerProcess", [this] { program_.TimerProcessTick(); });
  timerSummaryReportEmail_ = AddTimer("timerSummaryReportEmail", [this] { program_.TimerSummaryTick(); });
  timerProcess_->start();
  timerSummaryReportEmail_->start();

  // The autoresponder list, the operator's home window, at the frame's top-left corner.
  projectList_ = new frmProjectList(
      program_, [this] { return appClosing_; }, [this](const std::function<void()>& operation) { Handle(operation); });
  QMdiSubWindow* listFrame = area_->addSubWindow(projectList_);
  listFrame->move(0, 0);
  listFrame->show();
}

frmMain::~frmMain() { Openers() = WindowOpeners{}; }

QTimer* frmMain::AddTimer(const char* objectName, std::function<void()> tick) {
  auto* timer = new QTimer(this);
  timer->setObjectName(objectName);
  timer->setInterval(kTimerIntervalMs);
  ticks_[timer] = std::move(tick);
  connect(timer, &QTimer::timeout, this, [this, timer] { Tick(timer); });
  return timer;
}

void frmMain::Tick(QTimer* timer) {
  // The timer is off while its handler works, and while its tick is held back.
  timer->stop();
  if (handling_ > 0) {
    held_.push_back(timer);
    return;
  }
  Handle([&] { ticks_.at(timer)(); });
  timer->start();
}

void frmMain::Handle(const std::function<void()>& handler) {
  ++handling_;
  handler();
  if (--handling_ > 0) return;
  std::vector<QTimer*> held;
  held.swap(held_);
  for (QTimer* timer : held) Tick(timer);
}

QAction* frmMain::AddEntry(QMenu* menu, const char* objectName, const char* text, void (frmMain::*slot)()) {
  QAction* action = menu->addAction(text);
  action->setObjectName(objectName);
  if (slot) connect(action, &QAction::triggered, this, [this, slot] { Handle([this, slot] { (this->*slot)(); }); });
  return action;
}

void frmMain::Guarded(const char* entry, const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& e) {
    MessageBoxes::Show(this, e.what(), entry, MessageIcon::Critical);
  }
}

void frmMain::closeEvent(QCloseEvent* event) {
  appClosing_ = true;
  area_->closeAllSubWindows();
  event->accept();
}

void frmMain::SendSummaryEmail() {
  Guarded("Send Summary Email", [this] { program_.SendSummaryEmail(); });
}

void frmMain::RunEventProcessing() {
  Guarded("Run Event Processing", [this] { program_.RunEventProcessing(); });
}

void frmMain::RunMonitorSystem() {
  Guarded("Run Monitor System", [this] { program_.RunMonitorSystem(); });
}

void frmMain::BlackoutDays() {
  Guarded("Blackout Days", [this] {
    frmBlackoutDays window(program_.Main(), this);
    window.exec();
    // The list's blackout label follows what was changed.
    if (projectList_) projectList_->UpdateBlackoutLabel();
  });
}

void frmMain::Exit() {
  // Ends the process at once: no close handling of any window runs, and the connections
  // end with the process.
  std::exit(0);
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

void frmMain::OpenDocument(const char* name) { DesktopOpener::Open(program_.ProgramFolder() + "/doc/" + name); }

void frmMain::About() {
  frmFastSplash splash(false, this);
  splash.exec();
}

void frmMain::Configuration() {
  // One configuration window at a time: choosing the entry again brings it forward.
  for (QMdiSubWindow* w : area_->subWindowList())
    if (w->widget() && w->widget()->objectName() == "frmConfiguration") {
      area_->setActiveSubWindow(w);
      return;
    }
  auto* window = new frmConfiguration(program_.Main());
  window->setAttribute(Qt::WA_DeleteOnClose);
  QMdiSubWindow* frame = area_->addSubWindow(window);
  frame->show();
  area_->setActiveSubWindow(frame);
  window->setFocus();
}

void frmMain::ManageTemplates() {
  Guarded("Manage Templates", [this] {
    frmTemplates window(program_.Main(), TemplatesFolder(program_.ProgramFolder()), false, this);
    window.exec();
  });
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
