#include "control/window/autoresponder/frmProjectDetail.h"

#include "base/DayNumber.h"
#include "base/Text.h"
#include "base/Trace.h"
#include "control/autoresponders/AutoresponderList.h"
#include "control/events/Events.h"
#include "control/window/main/WindowOpeners.h"
#include "control/window/subscribers/SubscriberGrid.h"
#include "control/window/subscribers/SubscriberGridModel.h"
#include "widgets/MessageBoxes.h"
#include "widgets/Pause.h"
#include "widgets/WaitCursor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace ar {
namespace {

constexpr const char* kTimeFormatMessage = "Use time format H:MM with am or pm, or 24 hour clock";

enum EventColumn { kEventID, kEventAutoresponderID, kEventName, kEventInterval, kEventActive, kEventColumns };

template <typename W>
W* Named(W* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

QLabel* Label(const char* name, const char* text) { return Named(new QLabel(text), name); }

QPushButton* Button(const char* name, const char* text) { return Named(new QPushButton(text), name); }

QLineEdit* Box(const char* name) { return Named(new QLineEdit, name); }

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string S(const QString& s) { return s.toStdString(); }

QString IntervalText(const std::optional<double>& days) { return days ? QString::number(*days, 'g', 15) : QString(); }

void SetUpGrid(QTableView* grid, const char* name, QAbstractItemModel* model) {
  grid->setObjectName(name);
  grid->setModel(model);
  grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid->setAlternatingRowColors(true);
  grid->horizontalHeader()->setHighlightSections(false);
  grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 8);
}

}  // namespace

frmProjectDetail::frmProjectDetail(const ControlContext& context, QWidget* parent)
    : QWidget(parent), context_(context), autoresponderId_(CurrentAutoresponderID()) {
  setObjectName("frmProjectDetail");
  setWindowTitle("Autoresponder Detail");

  tabs_ = Named(new QTabWidget, "tabProjectDetail");
  tabs_->addTab(BuildSettingsTab(), "Settings and Events");
  tabs_->addTab(BuildSubscribersTab(), "Manage Subscribers");

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  QPushButton* cmdClose = Button("cmdClose", "Save and &Close");
  QPushButton* cmdCancel = Button("cmdCancel", "Cancel");
  buttons->addWidget(cmdClose);
  buttons->addWidget(cmdCancel);
  connect(cmdClose, &QPushButton::clicked, this, &frmProjectDetail::cmdClose_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmProjectDetail::cmdCancel_Click);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addLayout(buttons);
  resize(780, 600);

  LoadSettings();
}

QWidget* frmProjectDetail::BuildSettingsTab() {
  auto* details = Named(new QGroupBox("Autoresponder Name and Details"), "fraDetails");
  txtAutoreponderName_ = Box("txtAutoreponderName");
  txtTimeOfDayToRespond_ = Box("txtTimeOfDayToRespond");
  txtTimeOfDayToRespond_->installEventFilter(this);
  txtTimeOfDayToRespond_->setMaximumWidth(120);
  cbActive_ = Named(new QCheckBox("Active"), "cbActive");
  lblTotalSubscribers_ = Label("lblTotalSubscribers", "0");
  auto* note = Label("lblTimeNote", "All events associated with this auto responder will send at the scheduled time.");
  note->setWordWrap(true);
  auto* d = new QGridLayout(details);
  d->addWidget(Label("lblAutoreponderName", "Autoresponder Name:"), 0, 0);
  d->addWidget(txtAutoreponderName_, 0, 1, 1, 2);
  d->addWidget(Label("lblTimeOfDayToRespond", "Time of day to respond"), 1, 0);
  auto* time = new QHBoxLayout;
  time->addWidget(txtTimeOfDayToRespond_);
  time->addSpacing(20);
  time->addWidget(cbActive_);
  time->addStretch();
  d->addLayout(time, 1, 1, 1, 2);
  d->addWidget(note, 2, 1, 1, 2);
  d->addWidget(Label("lblTotalSubscribersCaption", "Total Subscribers in List:"), 3, 0);
  d->addWidget(lblTotalSubscribers_, 3, 1);
  d->setColumnStretch(1, 1);

  auto* server = Named(new QGroupBox("Inbound Mail Server Settings"), "fraInboundServer");
  clbResponseServerType_ = Named(new QComboBox, "clbResponseServerType");
  clbResponseServerType_->addItems({"POP3", "IMAP4"});
  connect(clbResponseServerType_, &QComboBox::currentIndexChanged, this, &frmProjectDetail::ShowIMAPFolder);
  lblResponseIMAPFolder_ = Label("lblResponseIMAPFolder", "IMAP Folder:");
  txtResponseIMAPFolder_ = Box("txtResponseIMAPFolder");
  txtPOPServer_ = Box("txtPOPServer");
  txtPOPUsername_ = Box("txtPOPUsername");
  txtPOPPassword_ = Box("txtPOPPassword");
  txtPOPPassword_->setEchoMode(QLineEdit::Password);
  cbEnablePOPSSL_ = Named(new QCheckBox("This server requires an encrypted connection  (SSL)"), "cbEnablePOPSSL");
  QPushButton* cmdTestPOPServer = Button("cmdTestPOPServer", "&Test Settings");
  connect(cmdTestPOPServer, &QPushButton::clicked, this, &frmProjectDetail::cmdTestPOPServer_Click);
  auto* s = new QGridLayout(server);
  s->addWidget(Label("lblResponseServerType", "Server type:"), 0, 0);
  s->addWidget(clbResponseServerType_, 0, 1);
  s->addWidget(lblResponseIMAPFolder_, 0, 2);
  s->addWidget(txtResponseIMAPFolder_, 0, 3);
  s->addWidget(Label("lblPOPServer", "Server name or IP"), 1, 0);
  s->addWidget(txtPOPServer_, 1, 1, 1, 3);
  s->addWidget(Label("lblPOPUsername", "Username"), 2, 0);
  s->addWidget(txtPOPUsername_, 2, 1);
  s->addWidget(Label("lblPOPPassword", "Password"), 2, 2);
  s->addWidget(txtPOPPassword_, 2, 3);
  s->addWidget(cbEnablePOPSSL_, 3, 0, 1, 3);
  s->addWidget(cmdTestPOPServer, 3, 3, Qt::AlignRight);
  s->setColumnStretch(1, 1);
  s->setColumnStretch(3, 1);

  auto* events = Named(new QGroupBox("Events"), "fraEvents");
  eventModel_ = new QStandardItemModel(0, kEventColumns, this);
  eventModel_->setHorizontalHeaderLabels({"AutoresponderEventID", "AutoresponderID", "Event Name", "Delay Days", "Active"});
  gridEvents_ = new QTableView;
  SetUpGrid(gridEvents_, "gridEvents", eventModel_);
  gridEvents_->setSelectionMode(QAbstractItemView::SingleSelection);
  gridEvents_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  gridEvents_->setColumnHidden(kEventID, true);
  gridEvents_->setColumnHidden(kEventAutoresponderID, true);
  gridEvents_->horizontalHeader()->setSectionResizeMode(kEventName, QHeaderView::Stretch);
  gridEvents_->verticalHeader()->hide();
  connect(gridEvents_, &QTableView::doubleClicked, this, &frmProjectDetail::cmdEditEvents_Click);
  QPushButton* cmdNew = Button("cmdNew", "&New Event");
  QPushButton* cmdEditEvents = Button("cmdEditEvents", "&Edit Event");
  QPushButton* cmdDeleteEvent = Button("cmdDeleteEvent", "&Delete Event");
  connect(cmdNew, &QPushButton::clicked, this, &frmProjectDetail::cmdNew_Click);
  connect(cmdEditEvents, &QPushButton::clicked, this, &frmProjectDetail::cmdEditEvents_Click);
  connect(cmdDeleteEvent, &QPushButton::clicked, this, &frmProjectDetail::cmdDeleteEvent_Click);
  auto* eventButtons = new QVBoxLayout;
  for (QPushButton* b : {cmdNew, cmdEditEvents, cmdDeleteEvent}) eventButtons->addWidget(b);
  eventButtons->addStretch();
  auto* e = new QHBoxLayout(events);
  e->addWidget(gridEvents_, 1);
  e->addLayout(eventButtons);

  auto* page = Named(new QWidget, "tabSettings");
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(details);
  layout->addWidget(server);
  layout->addWidget(events, 1);
  return page;
}

QWidget* frmProjectDetail::BuildSubscribersTab() {
  subscriberModel_ = new SubscriberGridModel(context_.subscribers, context_.main, autoresponderId_, this);
  // Queued: a box or a reload must wait until the grid has finished with its editor.
  connect(subscriberModel_, &SubscriberGridModel::addressRefused, this, &frmProjectDetail::AddressRefused,
          Qt::QueuedConnection);
  connect(subscriberModel_, &SubscriberGridModel::subscriberAdded, this, &frmProjectDetail::SubscriberAdded,
          Qt::QueuedConnection);
  connect(
      subscriberModel_, &SubscriberGridModel::storeFailed, this,
      [this](const QString& procedure, const QString& error) { Trap(procedure.toUtf8().constData(), S(error)); },
      Qt::QueuedConnection);

  gridSubscribers_ = new SubscriberGrid;
  SetUpGrid(gridSubscribers_, "gridSubscribers", subscriberModel_);
  gridSubscribers_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  gridSubscribers_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                    QAbstractItemView::AnyKeyPressed);
  gridSubscribers_->setColumnHidden(SubscriberGridModel::kSubscriberID, true);
  // Widths from the texts they show; the grid never measures its rows, which may be many.
  const QFontMetrics metrics = gridSubscribers_->fontMetrics();
  const int dateWidth = metrics.horizontalAdvance(QString::fromStdString(FormatGeneralDateTime(46000.5))) + 24;
  gridSubscribers_->setColumnWidth(SubscriberGridModel::kEmailAddress, metrics.horizontalAdvance('x') * 34);
  gridSubscribers_->setColumnWidth(SubscriberGridModel::kLastEvent, metrics.horizontalAdvance('x') * 24);
  gridSubscribers_->horizontalHeader()->setStretchLastSection(true);
  for (int c : {SubscriberGridModel::kAddedDate, SubscriberGridModel::kLastEventSent,
                SubscriberGridModel::kUnsubscribeDate})
    gridSubscribers_->setColumnWidth(c, std::max(dateWidth, metrics.horizontalAdvance("Unsubscribe Date") + 24));
  connect(gridSubscribers_, &SubscriberGrid::deletePressed, this, &frmProjectDetail::cmdDeleteSubscriber_Click);

  auto* frame = Named(new QGroupBox("Current Subscribers"), "fraSubscribers");
  auto* f = new QVBoxLayout(frame);
  f->addWidget(gridSubscribers_);
  auto* total = new QHBoxLayout;
  lblTotalSubscribers1_ = Label("lblTotalSubscribers1", "0");
  total->addWidget(Label("lblTotalSubscribers1Caption", "Total Subscribers In List:"));
  total->addWidget(lblTotalSubscribers1_);
  total->addStretch();
  f->addLayout(total);

  struct Entry {
    const char* name;
    const char* text;
    std::function<void()> click;
  };
  const Entry entries[] = {
      {"cmdNewSubscriber", "New Subscriber", [this] { cmdNewSubscriber_Click(); }},
      {"cmdDeleteSubscriber", "Delete Subscriber", [this] { cmdDeleteSubscriber_Click(); }},
      {"cmdImportSubscribers", "Import Subscribers", [this] { OpenOnThis(Openers().importSubscribers); }},
      {"cmdExportSubscribers", "Export Subscribers", [this] { OpenOnThis(Openers().exportSubscribers); }},
      {"cmdFindSubscribers", "Find an email address", [this] { OpenOnThis(Openers().findSubscribers); }},
  };
  auto* buttons = new QHBoxLayout;
  for (const Entry& entry : entries) {
    QPushButton* b = Button(entry.name, entry.text);
    connect(b, &QPushButton::clicked, this, entry.click);
    buttons->addWidget(b);
  }
  buttons->addStretch();

  auto* page = Named(new QWidget, "tabSubscribers");
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(frame, 1);
  layout->addLayout(buttons);
  return page;
}

void frmProjectDetail::LoadSettings() {
  try {
    if (std::optional<AutoresponderSettings> s = LoadAutoresponderSettings(context_.main, autoresponderId_))
      ShowSettings(*s);
    else
      ShowIMAPFolder();
    ReloadSubscribers();
    ReloadEvents();
  } catch (const std::exception& e) {
    Trap("Form_Load", e.what());
  }
}

void frmProjectDetail::ShowSettings(const AutoresponderSettings& s) {
  // Several editors may be open at once, each named in its frame and the Window menu.
  setWindowTitle(Q("Autoresponder Detail - " + s.name));
  txtAutoreponderName_->setText(Q(s.name));
  txtTimeOfDayToRespond_->setText(Q(s.timeOfDay));
  cbActive_->setChecked(s.active);
  clbResponseServerType_->setCurrentIndex(s.serverType == "IMAP4" ? 1 : 0);
  txtResponseIMAPFolder_->setText(Q(s.imapFolder));
  txtPOPServer_->setText(Q(s.popServer));
  txtPOPUsername_->setText(Q(s.popUsername));
  txtPOPPassword_->setText(Q(s.popPassword));
  cbEnablePOPSSL_->setChecked(s.enablePopSsl);
  ShowIMAPFolder();
}

AutoresponderSettings frmProjectDetail::SettingsShown() const {
  AutoresponderSettings s;
  s.name = S(txtAutoreponderName_->text());
  s.timeOfDay = S(txtTimeOfDayToRespond_->text());
  s.active = cbActive_->isChecked();
  s.serverType = S(clbResponseServerType_->currentText());
  s.imapFolder = S(txtResponseIMAPFolder_->text());
  s.popServer = S(txtPOPServer_->text());
  s.popUsername = S(txtPOPUsername_->text());
  s.popPassword = S(txtPOPPassword_->text());
  s.enablePopSsl = cbEnablePOPSSL_->isChecked();
  return s;
}

void frmProjectDetail::ShowIMAPFolder() {
  const bool imap = clbResponseServerType_->currentText() != "POP3";
  lblResponseIMAPFolder_->setVisible(imap);
  txtResponseIMAPFolder_->setVisible(imap);
}

bool frmProjectDetail::NormaliseTimeBox() {
  const std::string text = S(txtTimeOfDayToRespond_->text());
  if (text.empty()) return true;
  if (std::optional<std::string> normalised = NormaliseTimeOfDay(text)) {
    txtTimeOfDayToRespond_->setText(Q(*normalised));
    return true;
  }
  MessageBoxes::Show(this, kTimeFormatMessage, "", MessageIcon::None);
  txtTimeOfDayToRespond_->clear();
  return false;
}

bool frmProjectDetail::eventFilter(QObject* watched, QEvent* event) {
  if (watched == txtTimeOfDayToRespond_ && event->type() == QEvent::FocusOut) {
    NormaliseTimeBox();
  }
  return QWidget::eventFilter(watched, event);
}

void frmProjectDetail::Trap(const char* procedure, const std::string& error) {
  // The box below still tells the operator.
  TraceLogNoThrow(std::string("frmProjectDetail:") + procedure + ": " + error, true);
  MessageBoxes::Show(this, "Error: " + error, "", MessageIcon::Critical);
}

void frmProjectDetail::CloseEditor() {
  if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget())) frame->close();
  else close();
}

// ---- Settings

void frmProjectDetail::cmdClose_Click() {
  if (!CommitSubscriberEdit()) return;
  const std::string name = S(txtAutoreponderName_->text());
  if (TrimBlanks(name).empty()) {
    MessageBoxes::Show(this, "You must have an autoresponder name", "", MessageIcon::Critical);
    txtAutoreponderName_->setFocus();
    return;
  }
  try {
    if (AutoresponderNameTaken(context_.main, name, autoresponderId_)) {
      MessageBoxes::Show(this, "The new Autoresponder name specified already exists", "Error", MessageIcon::Critical);
      txtAutoreponderName_->setFocus();
      return;
    }
    if (!NormaliseTimeBox()) {
      txtTimeOfDayToRespond_->setFocus();
      return;
    }
    if (!cbActive_->isChecked() &&
        MessageBoxes::Ask(this, "Do you want to make this autoresponder active now?", "Activate Autoresponder",
                          MessageIcon::Question, Buttons::YesNo) == Answer::Yes)
      cbActive_->setChecked(true);
    WaitCursor wait;
    SaveAutoresponderSettings(context_.main, autoresponderId_, SettingsShown());
    Pause::For(2000);
  } catch (const std::exception& e) {
    Trap("cmdClose_Click", e.what());
    return;
  }
  CloseEditor();
}

void frmProjectDetail::cmdCancel_Click() { CloseEditor(); }

void frmProjectDetail::cmdTestPOPServer_Click() {
  struct Required {
    QLineEdit* box;
    const char* message;
  };
  for (const Required& r : {Required{txtPOPServer_, "You must specify a POP server"},
                            Required{txtPOPUsername_, "You must specify a username"},
                            Required{txtPOPPassword_, "You must specify a password"}}) {
    if (r.box->text().isEmpty()) {
      MessageBoxes::Show(this, r.message, "", MessageIcon::None);
      r.box->setFocus();
      return;
    }
  }
  const AutoresponderSettings s = SettingsShown();
  if (Openers().mailboxTest)
    Openers().mailboxTest(this, MailboxTestSettings{s.serverType, s.popServer, s.popUsername, s.popPassword,
                                                    s.enablePopSsl});
}

void frmProjectDetail::OpenOnThis(const std::function<void(QWidget*)>& opener) {
  // The list may have handed on another autoresponder since this editor opened.
  CurrentAutoresponderID() = autoresponderId_;
  if (opener) opener(this);
}

// ---- Events

void frmProjectDetail::ReloadEvents() {
  try {
    const int selected = SelectedEventRow();
    const int64_t keep = selected < 0 ? 0 : eventModel_->item(selected, kEventID)->data(Qt::DisplayRole).toLongLong();
    eventModel_->removeRows(0, eventModel_->rowCount());
    for (const EventListRow& e : LoadEventList(context_.main, autoresponderId_)) {
      QList<QStandardItem*> row;
      row << new QStandardItem(QString::number(e.id)) << new QStandardItem(QString::number(e.autoresponderId))
          << new QStandardItem(Q(e.name)) << new QStandardItem(IntervalText(e.interval))
          << new QStandardItem(e.active ? "Yes" : "No");
      eventModel_->appendRow(row);
    }
    if (keep != 0) SelectEvent(keep);
  } catch (const std::exception& e) {
    Trap("LoadEvents", e.what());
  }
}

int frmProjectDetail::SelectedEventRow() const {
  const QModelIndexList rows = gridEvents_->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.front().row();
}

void frmProjectDetail::SelectEvent(int64_t eventId) {
  for (int r = 0; r < eventModel_->rowCount(); ++r) {
    if (eventModel_->item(r, kEventID)->text().toLongLong() != eventId) continue;
    gridEvents_->selectRow(r);
    gridEvents_->scrollTo(eventModel_->index(r, kEventName));
    return;
  }
}

void frmProjectDetail::cmdNew_Click() {
  const std::optional<std::string> typed =
      MessageBoxes::Input(this, "Enter the name of the new message", "New Message");
  if (!typed) return;
  const std::string name = TrimBlanks(*typed);
  if (name.empty()) return;
  try {
    std::optional<int64_t> eventId;
    {
      WaitCursor wait;
      eventId = CreateEvent(context_.main, EventFolders{context_.dataFolder, context_.programFolder}, autoresponderId_,
                            name);
    }
    if (!eventId) {
      MessageBoxes::Show(this, "That message name is already being used", "Error", MessageIcon::Critical);
      return;
    }
    CurrentAutoresponderEventID() = *eventId;
    ReloadEvents();
    SelectEvent(*eventId);
  } catch (const std::exception& e) {
    Trap("cmdNew_Click", e.what());
    return;
  }
  OpenOnThis(Openers().eventDetail);
}

void frmProjectDetail::cmdEditEvents_Click() {
  const int row = SelectedEventRow();
  if (row < 0) {
    MessageBoxes::Show(this, "You must select event to edit", "", MessageIcon::Critical);
    return;
  }
  CurrentAutoresponderEventID() = eventModel_->item(row, kEventID)->text().toLongLong();
  OpenOnThis(Openers().eventDetail);
}

void frmProjectDetail::cmdDeleteEvent_Click() {
  const int row = SelectedEventRow();
  if (row < 0) {
    MessageBoxes::Show(this, "You must select event to delete", "", MessageIcon::Critical);
    return;
  }
  const int64_t eventId = eventModel_->item(row, kEventID)->text().toLongLong();
  const std::string name = S(eventModel_->item(row, kEventName)->text());
  if (MessageBoxes::Ask(this, "Are you sure you want to delete \"" + name + "\"", "Confirm Delete",
                        MessageIcon::Question, Buttons::YesNo) != Answer::Yes)
    return;
  try {
    WaitCursor wait;
    DeleteEvent(context_.main, context_.dataFolder, eventId);
    Pause::For(2000);
  } catch (const std::exception& e) {
    Trap("cmdDeleteEvent_Click", e.what());
    return;
  }
  ReloadEvents();
}

// ---- Subscribers

void frmProjectDetail::ReloadSubscribers() {
  try {
    subscriberModel_->Reload();
  } catch (const std::exception& e) {
    Trap("LoadSubscribers", e.what());
  }
  UpdateTotals();
}

void frmProjectDetail::UpdateTotals() {
  const QString total = QString::number(subscriberModel_->List().Count());
  lblTotalSubscribers_->setText(total);
  lblTotalSubscribers1_->setText(total);
}

bool frmProjectDetail::CommitSubscriberEdit() {
  if (!gridSubscribers_->Editing()) return true;
  subscriberModel_->TakeRefusal();
  // Moving the current cell away commits the open editor and closes it.
  const QModelIndex editing = gridSubscribers_->currentIndex();
  gridSubscribers_->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
  if (editing.isValid() && editing.row() < subscriberModel_->rowCount())
    gridSubscribers_->selectionModel()->setCurrentIndex(editing, QItemSelectionModel::NoUpdate);
  return !subscriberModel_->TakeRefusal();
}

void frmProjectDetail::EditSubscriberAddress(int row, const QString& text) {
  const QModelIndex cell = subscriberModel_->index(row, SubscriberGridModel::kEmailAddress);
  tabs_->setCurrentIndex(1);
  gridSubscribers_->setFocus();
  gridSubscribers_->clearSelection();
  gridSubscribers_->setCurrentIndex(cell);
  gridSubscribers_->scrollTo(cell);
  gridSubscribers_->edit(cell);
  if (text.isEmpty()) return;
  // The editor just opened; one closed a moment ago may still be there, hidden.
  for (QLineEdit* editor : gridSubscribers_->viewport()->findChildren<QLineEdit*>())
    if (editor->isVisible()) editor->setText(text);
}

void frmProjectDetail::AddressRefused(int row, int problem, const QString& typed) {
  const auto p = static_cast<SubscriberAddressProblem>(problem);
  if (p == SubscriberAddressProblem::Empty)
    MessageBoxes::Show(this, SubscriberAddressMessage(p), "Error", MessageIcon::Critical);
  else
    MessageBoxes::Show(this, SubscriberAddressMessage(p), "", MessageIcon::None);
  // Back into the cell with what was typed, to be put right.
  EditSubscriberAddress(std::min(row, subscriberModel_->NewRow()), typed.trimmed().isEmpty() ? QString() : typed);
}

void frmProjectDetail::SubscriberAdded() {
  ReloadSubscribers();
  EditSubscriberAddress(subscriberModel_->NewRow(), {});
}

void frmProjectDetail::cmdNewSubscriber_Click() {
  if (!CommitSubscriberEdit()) return;
  EditSubscriberAddress(subscriberModel_->NewRow(), {});
}

void frmProjectDetail::cmdDeleteSubscriber_Click() {
  // Whole ranges, never one index per row: a selection may hold a million rows.
  std::vector<std::pair<int64_t, int64_t>> ranges;
  int64_t selected = 0;
  const int last = subscriberModel_->NewRow() - 1;
  for (const QItemSelectionRange& r : gridSubscribers_->selectionModel()->selection()) {
    const int bottom = std::min(r.bottom(), last);
    if (bottom < r.top()) continue;
    ranges.emplace_back(r.top(), bottom);
  }
  std::sort(ranges.begin(), ranges.end());
  std::vector<std::pair<int64_t, int64_t>> merged;
  for (const auto& r : ranges) {
    if (!merged.empty() && r.first <= merged.back().second + 1) merged.back().second = std::max(merged.back().second, r.second);
    else merged.push_back(r);
  }
  for (const auto& [first, lastRow] : merged) selected += lastRow - first + 1;
  if (selected == 0) {
    MessageBoxes::Show(this, "You must select a record to delete first", "Error", MessageIcon::Critical);
    return;
  }
  const char* question =
      selected == 1 ? "Are you sure you want to delete this record?" : "Are you sure you want to delete this group?";
  if (MessageBoxes::Ask(this, question, "Confirm Deletion", MessageIcon::Question, Buttons::YesNo) != Answer::Yes)
    return;
  try {
    WaitCursor wait;
    subscriberModel_->DeleteRows(merged);
  } catch (const std::exception& e) {
    Trap("cmdDeleteSubscriber_Click", e.what());
  }
  ReloadSubscribers();
}

// ---- Opening

void OpenProjectDetail(QMdiArea& area, const ControlContext& context) {
  for (QMdiSubWindow* frame : area.subWindowList()) {
    auto* open = qobject_cast<frmProjectDetail*>(frame->widget());
    if (!open || open->AutoresponderID() != CurrentAutoresponderID()) continue;
    if (frame->isMinimized()) frame->showNormal();
    area.setActiveSubWindow(frame);
    return;
  }
  auto* editor = new frmProjectDetail(context);
  QMdiSubWindow* frame = area.addSubWindow(editor);
  frame->setAttribute(Qt::WA_DeleteOnClose);
  // Wide enough for every subscriber column, within the frame's default size.
  frame->resize(frame->sizeHint().expandedTo(QSize(940, 640)));
  frame->show();
}

}  // namespace ar
