#include "monitor/window/frmtamsel.h"

#include "base/Clock.h"
#include "base/DayNumber.h"
#include "base/Trace.h"
#include "monitor/ProcessList.h"
#include "monitor/ShowRequest.h"
#include "monitor/window/MonitorIcon.h"
#include "monitor/window/NotificationIcon.h"
#include "store/PresenceMarker.h"
#include "widgets/MessageBoxes.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <exception>

namespace ar {
namespace {

constexpr const char* kRefreshTrap = "frmtamsel:RefreshStats: ";
constexpr long kGreen = 65280;
constexpr long kRed = 255;

// A colour value holds red, green and blue in its low, middle and high byte.
QColor FromColourValue(long value) { return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF); }

void SetColour(QLabel* label, QPalette::ColorRole role, long value) {
  QPalette palette = label->palette();
  palette.setColor(role, FromColourValue(value));
  label->setPalette(palette);
}

QGroupBox* Group(const char* objectName, const char* caption, QWidget* parent) {
  auto* group = new QGroupBox(caption, parent);
  group->setObjectName(objectName);
  return group;
}

// One captioned figure of a group; its value shows "..." until filled.
void AddFigure(QGroupBox* group, const char* caption, QLabel*& value, const char* objectName) {
  auto* form = qobject_cast<QFormLayout*>(group->layout());
  if (!form) form = new QFormLayout(group);
  value = new QLabel("...", group);
  value->setObjectName(objectName);
  form->addRow(caption, value);
}

}  // namespace

frmtamsel::frmtamsel(MonitorSetup setup, NotificationIcon& icon, QWidget* parent)
    : QWidget(parent), setup_(std::move(setup)), icon_(icon), reader_(setup_.dataFolder) {
  setObjectName("frmtamsel");
  setWindowTitle(kMonitorWindowTitle);
  setWindowIcon(MonitorIcon());
  if (!setup_.startProgram)
    setup_.startProgram = [](const std::string& program) {
      return QProcess::startDetached(QString::fromStdString(program), {});
    };
  BuildWindow();

  countingThread_ = new QThread(this);
  countingThread_->setObjectName("countingThread");
  counter_ = new QObject;
  counter_->moveToThread(countingThread_);
  countingThread_->start();

  timerRefreshStats_ = new QTimer(this);
  timerRefreshStats_->setObjectName("timerRefreshStats");
  timerRefreshStats_->setInterval(kRefreshIntervalMs);
  // A tick that falls while the counting still runs is passed over: on lists too long to
  // count within one interval the counting would otherwise never rest.
  connect(timerRefreshStats_, &QTimer::timeout, this, [this] {
    if (!refreshing_) RefreshStats();
  });
  connect(&icon_, &NotificationIcon::OpenRequested, this, &frmtamsel::ShowMonitorWindow);
}

frmtamsel::~frmtamsel() { StopCounting(); }

void frmtamsel::BuildWindow() {
  lblAutoresponderRunning_ = new QLabel(this);
  lblAutoresponderRunning_->setObjectName("lblAutoresponderRunning");
  lblAutoresponderRunning_->setAlignment(Qt::AlignCenter);
  lblAutoresponderRunning_->setAutoFillBackground(true);
  lblAutoresponderRunning_->setMargin(6);
  QFont bold = lblAutoresponderRunning_->font();
  bold.setBold(true);
  lblAutoresponderRunning_->setFont(bold);

  QGroupBox* events = Group("fraRealTimeEvents", "Real-Time Events", this);
  lbStatus_ = new QListWidget(events);
  lbStatus_->setObjectName("lbStatus");
  lbStatus_->setUniformItemSizes(true);  // one line each: keeps adding to a full list cheap
  lblStatus_ = new QLabel(events);
  lblStatus_->setObjectName("lblStatus");
  auto* now = new QHBoxLayout;
  now->addWidget(new QLabel("Autoresponder is now: ", events));
  now->addWidget(lblStatus_, 1);
  auto* eventsLayout = new QVBoxLayout(events);
  eventsLayout->addWidget(lbStatus_);
  eventsLayout->addLayout(now);

  QGroupBox* connection = Group("fraConnectionMonitor", "Connection Monitor", this);
  AddFigure(connection, "Autoresponders Active:", lblNumberAutoresponders_, "lblNumberAutoresponders");
  AddFigure(connection, "Sending Status:", lblSMTPStatus_, "lblSMTPStatus");
  AddFigure(connection, "Receiving Status:", lblPOPStatus_, "lblPOPStatus");

  QGroupBox* stats = Group("fraSubscriberStats", "Subscriber Stats", this);
  AddFigure(stats, "Emails sent last 24hrs:", lblEmailsLast24Hours_, "lblEmailsLast24Hours");
  AddFigure(stats, "New subscribers last 24hrs:", lblNewSubscribersLast24Hours_, "lblNewSubscribersLast24Hours");
  AddFigure(stats, "Unsubscribes last 24hrs:", lblUnSubscribesLast24Hours_, "lblUnSubscribesLast24Hours");

  cmdManage_ = new QPushButton("Manage Autoresponders", this);
  cmdManage_->setObjectName("cmdManage");
  cmdClose_ = new QPushButton("Close", this);
  cmdClose_->setObjectName("cmdClose");
  connect(cmdManage_, &QPushButton::clicked, this, &frmtamsel::ManageAutoresponders);
  connect(cmdClose_, &QPushButton::clicked, this, &frmtamsel::EndMonitor);

  auto* groups = new QHBoxLayout;
  groups->addWidget(connection);
  groups->addWidget(stats);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cmdManage_);
  buttons->addWidget(cmdClose_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblAutoresponderRunning_);
  layout->addWidget(events, 1);
  layout->addLayout(groups);
  layout->addLayout(buttons);
  resize(620, 460);
  defaultPalette_ = lblSMTPStatus_->palette();

  connect(lbStatus_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    MessageBoxes::Show(this, item->text().toStdString(), "", MessageIcon::None);
  });

  mnuPopup_ = new QMenu(this);
  mnuPopup_->setObjectName("mnuPopup");
  QAction* open = mnuPopup_->addAction("Open");
  open->setObjectName("mnuPopupOpen");
  QAction* exit = mnuPopup_->addAction("Exit");
  exit->setObjectName("mnuExit");
  mnuPopup_->setDefaultAction(open);
  connect(open, &QAction::triggered, this, &frmtamsel::ShowMonitorWindow);
  connect(exit, &QAction::triggered, this, &frmtamsel::EndMonitor);
}

void frmtamsel::Load() {
  try {
    TraceLog("Application path: " + setup_.programFolder);
    TraceLog("Opening db connections");
  } catch (const std::exception& e) {
    TrapLine("frmtamsel_load: ", e.what());
  }
  // The refresh and the icon come whatever happened above: a window without its icon
  // could be hidden and never reached again, and the refresh retries the connections.
  RefreshStats();
  icon_.Add(MonitorIcon(), "Autoresponder: Good", mnuPopup_);
  timerRefreshStats_->start();
}

void frmtamsel::RefreshStats() {
  if (ended_) return;
  if (refreshing_) {
    refreshAgain_ = true;
    return;
  }
  refreshErrors_.clear();
  try {
    ShowRunning(PresenceMarker::Exists("velquin", setup_.dataFolder) || IsEXEInTaskList("velquin", setup_.procRoot));
    // The 24-hour figures scan every subscriber table: they are counted while someone
    // can see them, and at once when the window is shown again.
    const bool withCounts = isVisible();
    if (withCounts) {
      // The figures take time: show that they are being worked out.
      for (QLabel* label : {lblEmailsLast24Hours_, lblNewSubscribersLast24Hours_}) {
        label->setText("...");
        label->repaint();
      }
    }
    refreshing_ = true;
    QMetaObject::invokeMethod(counter_, [this, withCounts] {
      DatabaseFigures figures = reader_.Read(withCounts);
      QMetaObject::invokeMethod(this, [this, figures = std::move(figures)] { ApplyFigures(figures); },
                                Qt::QueuedConnection);
    });
    return;  // ApplyFigures ends the refresh
  } catch (const std::exception& e) {
    refreshErrors_.push_back(e.what());
  }
  traps_.Report(kRefreshTrap, refreshErrors_);
}

void frmtamsel::ShowRunning(bool running) {
  lblAutoresponderRunning_->setText(running ? "Autoresponder is running" : "Autoresponder is not running");
  SetColour(lblAutoresponderRunning_, QPalette::Window, running ? kGreen : kRed);
}

void frmtamsel::ApplyFigures(const DatabaseFigures& figures) {
  refreshing_ = false;
  if (ended_) return;
  try {
    for (const std::string& line : refreshLines_.For(figures)) LogStatus(line, true);
    ShowFigures(figures);
    lblStatus_->setText(PresenceMarker::Exists("ostrel", setup_.dataFolder) ? "Checking emails..." : "");
  } catch (const std::exception& e) {
    refreshErrors_.push_back(e.what());
  }
  traps_.Report(kRefreshTrap, refreshErrors_);
  ++refreshesDone_;
  if (refreshAgain_) {
    refreshAgain_ = false;
    RefreshStats();
  }
}

void frmtamsel::ShowFigures(const DatabaseFigures& figures) {
  if (!figures.error.empty()) {
    // Nothing could be read: every figure and status goes back to unknown.
    for (QLabel* label : {lblEmailsLast24Hours_, lblNewSubscribersLast24Hours_, lblNumberAutoresponders_,
                          lblUnSubscribesLast24Hours_})
      label->setText("...");
    ShowConnectionStatus(lblSMTPStatus_, std::nullopt);
    ShowConnectionStatus(lblPOPStatus_, std::nullopt);
    return;
  }
  if (figures.status) {
    ShowConnectionStatus(lblSMTPStatus_, figures.status->smtpError);
    ShowConnectionStatus(lblPOPStatus_, figures.status->popError);
  }
  lblNumberAutoresponders_->setText(QString::fromStdString(figures.activeAutoresponders));
  if (!figures.counted) return;
  lblEmailsLast24Hours_->setText(QString::number(figures.emailsSent));
  lblNewSubscribersLast24Hours_->setText(QString::number(figures.newSubscribers));
  lblUnSubscribesLast24Hours_->setText(QString::number(figures.unsubscribes));
}

void frmtamsel::ShowConnectionStatus(QLabel* label, std::optional<bool> error) {
  if (!error) {
    label->setText("...");
    label->setPalette(defaultPalette_);
    return;
  }
  label->setText(*error ? "Error" : "Good");
  SetColour(label, QPalette::WindowText, *error ? kRed : kGreen);
}

void frmtamsel::LogStatus(const std::string& message, bool timeStamp) {
  try {
    if (lbStatus_->count() > kMaxStatusLines - 1) delete lbStatus_->takeItem(0);
    const std::string line = timeStamp ? FormatGeneralDateTime(NowDays()) + " - " + message : message;
    lbStatus_->addItem(QString::fromStdString(line));
    // The new line becomes the current one, shown unselected, so the list follows it.
    lbStatus_->setCurrentRow(lbStatus_->count() - 1, QItemSelectionModel::NoUpdate);
    lbStatus_->clearSelection();
  } catch (const std::exception& e) {
    TrapLine("LogStatus: Error ", e.what());
  }
}

void frmtamsel::ShowMonitorWindow() {
  if (isHidden()) {
    show();
    icon_.Modify();
    RefreshStats();  // the figures were not counted while hidden
  }
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
}

void frmtamsel::closeEvent(QCloseEvent* event) {
  // The close box only hides the window while its icon stays in the notification area.
  // Without one a hidden window could never be reached again, and its process would keep
  // every later start away: then closing ends the monitor.
  if (!ending_ && icon_.Shown()) {
    hide();
    event->ignore();
    return;
  }
  Finish();
  event->accept();
}

void frmtamsel::EndMonitor() {
  ending_ = true;
  close();
  Finish();  // also when the window was closed already
}

void frmtamsel::ManageAutoresponders() {
  const std::string program = setup_.programFolder + "/velquin";
  if (!setup_.startProgram(program))
    MessageBoxes::Show(this, "The control program " + program + " cannot be started", "", MessageIcon::Critical);
}

void frmtamsel::StopCounting() {
  // A count under way runs to its end; the thread then stops with nothing left to do.
  countingThread_->quit();
  countingThread_->wait();
  delete counter_;
  counter_ = nullptr;
}

void frmtamsel::Finish() {
  if (ended_) return;
  ended_ = true;
  timerRefreshStats_->stop();
  StopCounting();
  reader_.Close();
  icon_.Delete();
  emit Ended();
}

}  // namespace ar
