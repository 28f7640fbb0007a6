#include "control/window/main/frmProjectList.h"

#include "base/Text.h"
#include "base/Trace.h"
#include "control/autoresponders/AutoresponderList.h"
#include "control/program/ControlProgram.h"
#include "control/program/SummaryReport.h"
#include "control/settings/BlackoutDays.h"
#include "control/window/main/AutoresponderListModel.h"
#include "control/window/main/WindowOpeners.h"
#include "store/DataFolder.h"
#include "store/Schema.h"
#include "widgets/CustomButton.h"
#include "widgets/DesktopOpener.h"
#include "widgets/MessageBoxes.h"
#include "widgets/Pause.h"
#include "widgets/WaitCursor.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace ar {
namespace {

constexpr int kRefreshIntervalMs = 60000;
constexpr int kRebindWaitMs = 2000;

void ShowError(QWidget* parent, const std::string& reason) {
  MessageBoxes::Show(parent, "Error: " + reason, "", MessageIcon::None);
}

}  // namespace

frmProjectList::frmProjectList(ControlProgram& program, std::function<bool()> appClosing, Handler handle,
                               QWidget* parent)
    : QWidget(parent), program_(program), appClosing_(std::move(appClosing)), handle_(std::move(handle)) {
  setObjectName("frmProjectList");
  setWindowTitle("Autoresponder Management");

  lblBackoutDayActive_ = new QLabel("Blackout Day Active", this);
  lblBackoutDayActive_->setObjectName("lblBackoutDayActive");
  lblBackoutDayActive_->setAlignment(Qt::AlignCenter);
  lblBackoutDayActive_->setStyleSheet(
      "QLabel { color: white; background-color: #b3261e; font-weight: bold; padding: 4px; border-radius: 3px; }");
  lblBackoutDayActive_->setVisible(false);

  model_ = new AutoresponderListModel(program_.Main(), program_.Subscribers(), this);
  grid_ = new QTableView(this);
  grid_->setObjectName("gridAutoresponders");
  grid_->setModel(model_);
  grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->setAlternatingRowColors(true);
  grid_->setWordWrap(false);
  grid_->verticalHeader()->hide();
  grid_->setColumnHidden(kColumnActive, true);
  QHeaderView* header = grid_->horizontalHeader();
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(true);
  header->setSortIndicator(-1, Qt::AscendingOrder);
  header->setStretchLastSection(true);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->resizeSection(kColumnID, 50);
  header->resizeSection(kColumnName, 260);
  header->resizeSection(kColumnSchedule, 120);
  header->resizeSection(kColumnSubscribers, 95);
  connect(header, &QHeaderView::sortIndicatorChanged, this, &frmProjectList::SortBy);
  connect(grid_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
    if (index.isValid()) Operation([this] { Edit(); });
  });

  auto* buttons = new QVBoxLayout;
  buttons->setSpacing(6);
  // The operations on one autoresponder, each with its Alt key.
  const struct {
    int key;
    const char *name, *caption, *picture;
    void (frmProjectList::*operation)();
  } keyed[] = {
      {Qt::Key_N, "cmdNew", "New", "button-new", &frmProjectList::New},
      {Qt::Key_E, "cmdEdit", "Edit", "button-edit", &frmProjectList::Edit},
      {Qt::Key_C, "cmdCopy", "Copy", "button-copy", &frmProjectList::Copy},
      {Qt::Key_M, "cmdRename", "Rename", "button-rename", &frmProjectList::Rename},
      {Qt::Key_D, "cmdDelete", "Delete", "button-delete", &frmProjectList::Delete},
  };
  for (const auto& k : keyed) {
    altKeys_[k.key] = AddButton(k.name, k.caption, k.picture, k.operation);
    buttons->addWidget(altKeys_[k.key]);
  }
  buttons->addSpacing(18);
  buttons->addWidget(AddButton("cmdRun", "Run now", "button-run", &frmProjectList::RunNow));
  buttons->addStretch(1);
  buttons->addWidget(AddButton("cmdSummaryReport", "Summary report", "button-summary", &frmProjectList::SummaryReport));
  buttons->addWidget(AddButton("cmdMonitor", "Monitor", "button-monitor", &frmProjectList::Monitor));

  auto* body = new QHBoxLayout;
  body->addWidget(grid_, 1);
  body->addLayout(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblBackoutDayActive_);
  layout->addLayout(body, 1);

  timerRefresh_ = new QTimer(this);
  timerRefresh_->setObjectName("timerRefresh");
  timerRefresh_->setInterval(kRefreshIntervalMs);
  connect(timerRefresh_, &QTimer::timeout, this, [this] {
    if (busy_ > 0) {
      // An operation is under way: the tick runs once it has ended.
      timerRefresh_->stop();
      refreshHeld_ = true;
      return;
    }
    RefreshTick();
  });
  timerRefresh_->start();

  try {
    UpdateBlackoutLabel();
    Reload();
  } catch (const std::exception& e) {
    TraceLogNoThrow(e.what(), true);
  }
}

CustomButton* frmProjectList::AddButton(const char* objectName, const char* caption, const char* picture,
                                        void (frmProjectList::*operation)()) {
  auto* button = new CustomButton(this);
  button->setObjectName(objectName);
  button->setText(caption);
  button->setToolTip(caption);
  button->LoadPictures(QString::fromStdString(ProgramFolder() + "/pictures"), picture);
  button->SetBackColor(palette().color(QPalette::Window));
  connect(button, &CustomButton::clicked, this, [this, operation] { Operation([this, operation] { (this->*operation)(); }); });
  return button;
}

void frmProjectList::Operation(const std::function<void()>& body) {
  const auto guarded = [&] {
    ++busy_;
    try {
      body();
    } catch (const std::exception& e) {
      TraceLogNoThrow(e.what(), true);
      ShowError(this, e.what());
    }
    --busy_;
  };
  if (handle_) handle_(guarded);
  else guarded();
  if (busy_ == 0 && refreshHeld_) {
    refreshHeld_ = false;
    RefreshTick();
  }
}

void frmProjectList::RefreshTick() {
  timerRefresh_->stop();
  try {
    UpdateBlackoutLabel();
    Reload();
  } catch (const std::exception& e) {
    TraceLogNoThrow(e.what(), true);
  }
  timerRefresh_->start();
}

void frmProjectList::UpdateBlackoutLabel() { lblBackoutDayActive_->setVisible(BlackoutDayToday(program_.Main())); }

void frmProjectList::Reload() {
  const std::optional<int64_t> current = SelectedId();
  model_->Reload();
  Select(current);
}

std::optional<int64_t> frmProjectList::SelectedId() const {
  // The first row from the top that is marked selected.
  std::optional<int> first;
  for (const QModelIndex& index : grid_->selectionModel()->selectedIndexes())
    if (!first || index.row() < *first) first = index.row();
  if (!first || static_cast<size_t>(*first) >= model_->List().Size()) return std::nullopt;
  return model_->List().Row(static_cast<size_t>(*first)).id;
}

void frmProjectList::Select(std::optional<int64_t> id) {
  const std::optional<size_t> row = id ? model_->List().IndexOf(*id) : std::nullopt;
  if (!row) {
    grid_->selectionModel()->clearSelection();
    return;
  }
  const QModelIndex index = model_->index(static_cast<int>(*row), kColumnName);
  grid_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  grid_->scrollTo(index);
}

std::optional<int64_t> frmProjectList::Selected(const char* nothingSelected) {
  const std::optional<int64_t> id = SelectedId();
  if (!id) MessageBoxes::Show(this, nothingSelected, "", MessageIcon::Critical);
  return id;
}

void frmProjectList::SortBy(int column, Qt::SortOrder order) {
  const std::optional<int64_t> current = SelectedId();
  // Sorting by the subscriber column counts every row, which takes a while on a long list.
  WaitCursor wait;
  model_->sort(column, order);
  Select(current);
}

bool frmProjectList::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) Activated();
  // The list's Alt keys come before the menu bar's while the list has the focus.
  if (event->type() == QEvent::ShortcutOverride) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() == Qt::AltModifier && altKeys_.count(key->key())) {
      event->accept();
      return true;
    }
  }
  return QWidget::event(event);
}

void frmProjectList::keyPressEvent(QKeyEvent* event) {
  const auto found = altKeys_.find(event->key());
  if (event->modifiers() == Qt::AltModifier && found != altKeys_.end()) {
    found->second->click();
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void frmProjectList::showEvent(QShowEvent* event) {
  // Inside the main frame, choosing the list's window again reloads it too.
  if (!connectedToFrame_) {
    if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget())) {
      connect(frame, &QMdiSubWindow::aboutToActivate, this, &frmProjectList::Activated);
      connectedToFrame_ = true;
    }
  }
  QWidget::showEvent(event);
}

void frmProjectList::Activated() {
  // An operation reloads the list itself when it has done its work.
  if (busy_ > 0) return;
  try {
    Reload();
  } catch (const std::exception& e) {
    TraceLogNoThrow(e.what(), true);
  }
}

void frmProjectList::closeEvent(QCloseEvent* event) {
  // The list stays for as long as the program runs.
  if (appClosing_ && appClosing_()) event->accept();
  else event->ignore();
}

void frmProjectList::CreateTable(int64_t id) {
  try {
    CreateSubscriberTable(program_.Subscribers(), id);
  } catch (const std::exception& e) {
    ShowError(this, e.what());
  }
}

// ---- The operations ----

void frmProjectList::New() {
  const std::optional<std::string> typed =
      MessageBoxes::Input(this, "Please enter the name of the new Autoresponder", "New Autoresponder");
  const std::string name = TrimBlanks(typed.value_or(""));
  if (name.empty()) return;
  WaitCursor wait;
  if (AutoresponderNameTaken(program_.Main(), name)) {
    wait.Restore();
    MessageBoxes::Show(this, "That Autoresponder name is already being used", "Error", MessageIcon::Critical);
    return;
  }
  const int64_t id = AddAutoresponderRow(program_.Main(), name);
  CurrentAutoresponderID() = id;
  CreateTable(id);
  Pause::For(kRebindWaitMs);
  model_->Reload();
  Select(id);
  wait.Restore();
  OpenEditor();
}

void frmProjectList::OpenEditor() {
  if (!Openers().projectDetail) return;
  Openers().projectDetail(this);
  // A modal editor has closed by now: show what it changed.
  Reload();
}

void frmProjectList::Edit() {
  const std::optional<int64_t> id = Selected("You must select a Autoresponder to edit");
  if (!id) return;
  CurrentAutoresponderID() = *id;
  OpenEditor();
}

void frmProjectList::Copy() {
  const std::optional<int64_t> id = Selected("You must select a Autoresponder to copy");
  if (!id) return;
  const std::string current = AutoresponderNameOf(program_.Main(), *id);
  for (;;) {
    const std::optional<std::string> typed = MessageBoxes::Input(this, "Copy '" + current + "' to:", "Copy Autoresponder");
    if (!typed || typed->empty()) return;
    WaitCursor wait;
    if (AutoresponderNameTaken(program_.Main(), *typed)) {
      wait.Restore();
      MessageBoxes::Show(this, "The new Autoresponder name you specificed already exists", "Error",
                         MessageIcon::Critical);
      continue;
    }
    const int64_t copy = CopyAutoresponderRow(program_.Main(), *id, *typed);
    CreateTable(copy);
    Pause::For(kRebindWaitMs);
    model_->Reload();
    Select(copy);
    return;
  }
}

void frmProjectList::Rename() {
  const std::optional<int64_t> id = Selected("You must select a Autoresponder to rename");
  if (!id) return;
  const std::string current = AutoresponderNameOf(program_.Main(), *id);
  for (;;) {
    const std::optional<std::string> typed =
        MessageBoxes::Input(this, "Rename '" + current + "' to:", "Rename Autoresponder");
    if (!typed || typed->empty()) return;
    if (AutoresponderNameTaken(program_.Main(), *typed, *id)) {
      MessageBoxes::Show(this, "The new Autoresponder name specified already exists", "Error", MessageIcon::Critical);
      continue;
    }
    RenameAutoresponder(program_.Main(), *id, *typed);
    Pause::For(kRebindWaitMs);
    model_->Reload();
    Select(*id);
    return;
  }
}

void frmProjectList::Delete() {
  const std::optional<int64_t> id = Selected("You must select a Autoresponder to delete");
  if (!id) return;
  // Enter answers No: a deletion cannot be undone.
  if (MessageBoxes::Ask(this, "Are you sure you want to delete this Autoresponder?", "Delete Verification",
                        MessageIcon::Question, Buttons::YesNo, Answer::No) != Answer::Yes)
    return;
  WaitCursor wait;
  DeleteAutoresponder(program_.Main(), program_.Subscribers(), program_.DataFolder(), *id);
  Pause::For(kRebindWaitMs);
  Reload();
}

void frmProjectList::RunNow() {
  const std::optional<int64_t> id = Selected("You must select a Autoresponder to run");
  if (!id) return;
  CurrentAutoresponderID() = *id;
  program_.Scheduler().StartEventProcessing(*id);
  MessageBoxes::Show(this, "Run event checking for this autoresponder has been queued", "", MessageIcon::Information);
}

void frmProjectList::SummaryReport() {
  WaitCursor wait;
  const std::string error = CreateSummaryReport(program_.Main(), program_.Subscribers(), program_.DataFolder());
  wait.Restore();
  if (!error.empty()) {
    ShowError(this, error);
    return;
  }
  const std::string path = SummaryReportPath(program_.DataFolder());
  if (!FileExists(path)) {
    MessageBoxes::Show(this, "No summaryreport.txt file exists yet", "", MessageIcon::Information);
    return;
  }
  if (!DesktopOpener::Open(path)) ShowError(this, "the desktop could not open " + path);
}

void frmProjectList::Monitor() {
  // The monitor brings its first copy to the front when a second one starts, so starting
  // it is all there is to do.
  program_.RunMonitorSystem();
}

}  // namespace ar
