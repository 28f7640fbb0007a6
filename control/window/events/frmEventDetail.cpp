#include "control/window/events/frmEventDetail.h"

#include "base/Text.h"
#include "base/Trace.h"
#include "control/events/EventDetail.h"
#include "control/events/Events.h"
#include "control/events/Preflight.h"
#include "control/window/autoresponder/frmProjectDetail.h"
#include "control/window/events/EventHtmlTab.h"
#include "control/window/events/EventTextImport.h"
#include "control/window/main/WindowOpeners.h"
#include "store/ConfigurationRow.h"
#include "widgets/FileDialogs.h"
#include "widgets/MessageBoxes.h"
#include "widgets/Pause.h"
#include "widgets/WaitCursor.h"
#include "widgets/web/UrlProbe.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace ar {
namespace {

constexpr const char* kPreflightExplanation =
    "The Preflight Check is a simple test of your message and responder configuration.  It is designed to capture any "
    "obvious errors that might cause your message to be regarded as spam.  It is not a guarantee of message delivery.";

template <typename W>
W* Named(W* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

QLabel* Label(const char* name, const char* text) { return Named(new QLabel(text), name); }
QLineEdit* Box(const char* name) { return Named(new QLineEdit, name); }
QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

// The text boxes show lines ended by LF; what is stored ends them with CR LF, as the
// body files and the plain-text column always have.
QString ForTextBox(const std::string& text) { return Q(text).replace("\r\n", "\n"); }
std::string FromTextBox(const QPlainTextEdit* box) {
  return S(box->toPlainText().replace("\r\n", "\n").replace("\n", "\r\n"));
}

}  // namespace

// Turns the window's controls off while a save or the preflight check runs (the result
// list stays on, so that it can be read), and back on afterwards.
class frmEventDetail::BusyScope {
 public:
  explicit BusyScope(frmEventDetail& window) : window_(window) {
    if (window_.busy_++ > 0) return;
    widgets_ = {window_.tabs_->tabBar(), window_.tabs_->widget(0), window_.tabs_->widget(1),
                window_.tabs_->widget(2), window_.cmdPreflightTest_, window_.cmdClose_, window_.cmdCancel_};
    for (QWidget* w : widgets_) {
      enabled_.push_back(w->isEnabled());
      w->setEnabled(false);
    }
  }
  ~BusyScope() {
    if (--window_.busy_ > 0) return;
    for (size_t i = 0; i < widgets_.size(); ++i) widgets_[i]->setEnabled(enabled_[i]);
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  frmEventDetail& window_;
  std::vector<QWidget*> widgets_;
  std::vector<bool> enabled_;
};

frmEventDetail::frmEventDetail(const ControlContext& context, QWidget* parent)
    : QDialog(parent), context_(context), eventId_(CurrentAutoresponderEventID()) {
  setObjectName("frmEventDetail");
  setModal(true);
  tabs_ = Named(new QTabWidget, "tabEventDetail");
  tabs_->addTab(BuildSettingsTab(), "Event Settings");
  html_ = new EventHtmlTab;
  connect(html_, &EventHtmlTab::plainTextOnlyClicked, this, &frmEventDetail::optPlainText_Click);
  tabs_->addTab(html_, "HTML Message");
  tabs_->addTab(BuildPlainTextTab(), "Plain text Message");
  tabs_->addTab(BuildPreflightTab(), "Preflight Check");

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  cmdClose_ = AddButton("cmdClose", "&Save and Close", "", &frmEventDetail::cmdClose_Click);
  cmdCancel_ = AddButton("cmdCancel", "Cancel", "", &frmEventDetail::cmdCancel_Click);
  cmdClose_->setDefault(false);
  cmdClose_->setAutoDefault(false);
  cmdCancel_->setAutoDefault(false);
  buttons->addWidget(cmdClose_);
  buttons->addWidget(cmdCancel_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_, 1);
  layout->addLayout(buttons);
  resize(860, 660);

  LoadEvent();
}

frmEventDetail::~frmEventDetail() = default;

const std::string& frmEventDetail::HTMLMessagePath() const { return html_->HTMLMessagePath(); }
const PageProperties& frmEventDetail::Properties() const { return html_->Properties(); }
HtmlEditor* frmEventDetail::Editor() const { return html_->Editor(); }
HtmlPreview* frmEventDetail::Preview() const { return html_->Preview(); }

QPushButton* frmEventDetail::AddButton(const char* name, const char* text, const char* tip,
                                       void (frmEventDetail::*click)()) {
  auto* button = Named(new QPushButton(text), name);
  if (*tip) button->setToolTip(tip);
  button->setAutoDefault(false);
  connect(button, &QPushButton::clicked, this, [this, click] { (this->*click)(); });
  return button;
}

QWidget* frmEventDetail::BuildSettingsTab() {
  txtEventName_ = Box("txtEventName");
  txtEventInterval_ = Box("txtEventInterval");
  txtEventInterval_->setMaximumWidth(80);
  txtEventInterval_->installEventFilter(this);
  cbActive_ = Named(new QCheckBox("Active"), "cbActive");
  txtFrom_ = Box("txtFrom");
  txtFromName_ = Box("txtFromName");
  txtReplyTo_ = Box("txtReplyTo");
  txtSubject_ = Box("txtSubject");
  txtAttachment_ = Box("txtAttachment");

  // The labels of the three groups line up.
  const int labelWidth = fontMetrics().horizontalAdvance("Plain Text Message File:") + 12;
  auto* event = Named(new QGroupBox("Event"), "fraEvent");
  auto* e = new QGridLayout(event);
  e->addWidget(Label("lblEventName", "Event Name:"), 0, 0);
  e->addWidget(txtEventName_, 0, 1, 1, 3);
  e->addWidget(Label("lblEventInterval", "Send this message:"), 1, 0);
  auto* interval = new QHBoxLayout;
  interval->addWidget(txtEventInterval_);
  interval->addWidget(Label("lblDaysAfterSignup", "days after signup"));
  interval->addSpacing(24);
  interval->addWidget(cbActive_);
  interval->addStretch();
  e->addLayout(interval, 1, 1, 1, 3);
  e->setColumnStretch(1, 1);
  e->setColumnMinimumWidth(0, labelWidth);

  auto* message = Named(new QGroupBox("Message"), "fraMessage");
  auto* m = new QGridLayout(message);
  m->addWidget(Label("lblFrom", "From Address:"), 0, 0);
  m->addWidget(txtFrom_, 0, 1, 1, 2);
  m->addWidget(Label("lblFromName", "From Name:"), 1, 0);
  m->addWidget(txtFromName_, 1, 1, 1, 2);
  m->addWidget(Label("lblReplyTo", "Reply-To:"), 2, 0);
  m->addWidget(txtReplyTo_, 2, 1);
  m->addWidget(Label("lblReplyToOptional", "(Optional)"), 2, 2);
  m->addWidget(Label("lblSubject", "Message Subject:"), 3, 0);
  m->addWidget(txtSubject_, 3, 1, 1, 2);
  m->addWidget(Label("lblAttachment", "Attachment:"), 4, 0);
  m->addWidget(txtAttachment_, 4, 1);
  m->addWidget(AddButton("cmdBrowseAttachment", "Browse...", "Browse to file to attach",
                         &frmEventDetail::cmdBrowseAttachment_Click),
               4, 2);
  m->setColumnStretch(1, 1);
  m->setColumnMinimumWidth(0, labelWidth);

  auto* files = Named(new QGroupBox("Message Bodies"), "fraMessageFiles");
  cbUseFilesForMessageBodies_ = Named(new QCheckBox("Use Files For Message Bodies"), "cbUseFilesForMessageBodies");
  connect(cbUseFilesForMessageBodies_, &QCheckBox::clicked, this, &frmEventDetail::cbUseFilesForMessageBodies_Click);
  lblHTMLMessageFile_ = Label("lblHTMLMessageFile", "HTML Message File:");
  txtHTMLMessageFile_ = Box("txtHTMLMessageFile");
  connect(txtHTMLMessageFile_, &QLineEdit::editingFinished, this, &frmEventDetail::HtmlMessageFileTyped);
  cmdHTMLMessageFileBrowse_ = AddButton("cmdHTMLMessageFileBrowse", "Browse...", "Browse to the HTML file",
                                        &frmEventDetail::cmdHTMLMessageFileBrowse_Click);
  lblPlainTextMessageFile_ = Label("lblPlainTextMessageFile", "Plain Text Message File:");
  txtPlainTextMessageFile_ = Box("txtPlainTextMessageFile");
  cmdPlainTextMessageFileBrowse_ = AddButton("cmdPlainTextMessageFileBrowse", "Browse...",
                                             "Browse to the plain text file",
                                             &frmEventDetail::cmdPlainTextMessageFileBrowse_Click);
  auto* f = new QGridLayout(files);
  f->addWidget(cbUseFilesForMessageBodies_, 0, 0, 1, 3);
  f->addWidget(lblHTMLMessageFile_, 1, 0);
  f->addWidget(txtHTMLMessageFile_, 1, 1);
  f->addWidget(cmdHTMLMessageFileBrowse_, 1, 2);
  f->addWidget(lblPlainTextMessageFile_, 2, 0);
  f->addWidget(txtPlainTextMessageFile_, 2, 1);
  f->addWidget(cmdPlainTextMessageFileBrowse_, 2, 2);
  f->setColumnStretch(1, 1);
  f->setColumnMinimumWidth(0, labelWidth);

  auto* page = Named(new QWidget, "tabSettings");
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(event);
  layout->addWidget(message);
  layout->addWidget(files);
  layout->addStretch();
  return page;
}

QWidget* frmEventDetail::BuildPlainTextTab() {
  txtPlainText_ = Named(new QPlainTextEdit, "txtPlainText");
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(AddButton("cmdImport", "Import...", "Browse to file to import into message body",
                               &frmEventDetail::cmdImport_Click));
  buttons->addWidget(AddButton("cmdCopyPlainText", "Copy From HTML", "Copy the text from the HTML document",
                               &frmEventDetail::cmdCopyPlainText_Click));
  buttons->addWidget(AddButton("cmdClearMessage", "Clear", "Erases current message body",
                               &frmEventDetail::cmdClearMessage_Click));
  buttons->addStretch();
  auto* page = Named(new QWidget, "tabPlainText");
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(buttons);
  layout->addWidget(txtPlainText_, 1);
  return page;
}

QWidget* frmEventDetail::BuildPreflightTab() {
  auto* explanation = Label("lblPreflightExplanation", kPreflightExplanation);
  explanation->setWordWrap(true);
  cmdPreflightTest_ = AddButton("cmdPreflightTest", "Run Preflight Check", "", &frmEventDetail::cmdPreflightTest_Click);
  lbStatus_ = Named(new QListWidget, "lbStatus");
  auto* run = new QHBoxLayout;
  run->addWidget(cmdPreflightTest_);
  run->addStretch();
  auto* page = Named(new QWidget, "tabPreflight");
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(explanation);
  layout->addLayout(run);
  layout->addWidget(Label("lblResults", "Results"));
  layout->addWidget(lbStatus_, 1);
  return page;
}

// ---- Loading and saving

void frmEventDetail::LoadEvent() {
  std::optional<EventDetail> detail;
  try {
    detail = LoadEventDetail(context_.main, eventId_);
  } catch (const std::exception& e) {
    Trap("Form_Load", e.what());
    return;
  }
  if (!detail) {
    // Deleted since the autoresponder editor listed it.
    MessageBoxes::Show(parentWidget(), "Error: This event no longer exists", "", MessageIcon::Critical);
    return;
  }
  loaded_ = true;
  autoresponderId_ = detail->autoresponderId;
  setWindowTitle(Q("Event Detail - " + detail->eventName));
  ShowDetail(*detail);
  html_->SetHtmlOnly(detail->disableWysiwyg);
  FormLoaded_ = true;
  cbUseFilesForMessageBodies_Click();
  html_->ApplyPageProperties();
  optPlainText_Click();
}

void frmEventDetail::ShowDetail(const EventDetail& d) {
  txtEventName_->setText(Q(d.eventName));
  txtFrom_->setText(Q(d.fromAddress));
  txtFromName_->setText(Q(d.fromName));
  txtReplyTo_->setText(Q(d.replyTo));
  txtAttachment_->setText(Q(d.attachment));
  txtEventInterval_->setText(Q(d.interval));
  txtSubject_->setText(Q(d.subject));
  html_->SetPlainTextOnly(d.plainTextOnly);
  cbActive_->setChecked(d.active);
  txtHTMLMessageFile_->setText(Q(d.htmlMessageFile));
  htmlFileTyped_ = d.htmlMessageFile;
  txtPlainTextMessageFile_->setText(Q(d.plainTextMessageFile));
  txtPlainText_->setPlainText(ForTextBox(d.plainTextMessage));
  cbUseFilesForMessageBodies_->setChecked(d.useFilesForMessageBodies);
}

EventDetail frmEventDetail::DetailShown() const {
  EventDetail d;
  d.autoresponderId = autoresponderId_;
  d.eventName = S(txtEventName_->text());
  d.interval = S(txtEventInterval_->text());
  d.fromAddress = S(txtFrom_->text());
  d.fromName = S(txtFromName_->text());
  d.replyTo = S(txtReplyTo_->text());
  d.attachment = S(txtAttachment_->text());
  d.subject = S(txtSubject_->text());
  d.plainTextOnly = html_->PlainTextOnly();
  d.useFilesForMessageBodies = cbUseFilesForMessageBodies_->isChecked();
  d.htmlMessageFile = S(txtHTMLMessageFile_->text());
  d.plainTextMessageFile = S(txtPlainTextMessageFile_->text());
  d.active = cbActive_->isChecked();
  d.plainTextMessage = FromTextBox(txtPlainText_);
  d.disableWysiwyg = html_->HtmlOnly();
  return d;
}

void frmEventDetail::cmdClose_Click() {
  if (Busy()) return;
  if (!cbActive_->isChecked() &&
      MessageBoxes::Ask(this, "Do you want to make this event active now?", "Activate Event", MessageIcon::Question,
                        Buttons::YesNo) == Answer::Yes)
    cbActive_->setChecked(true);
  BusyScope busy(*this);
  txtEventInterval_->setText(Q(NormaliseInterval(S(txtEventInterval_->text()))));
  std::string body;
  const EventHtmlTab::BodyPlan plan = html_->PlanBodyWrite(body, true);
  if (plan == EventHtmlTab::BodyPlan::Stop) return;
  WaitCursor wait;
  bool bodyFailed = false;
  try {
    SaveEventDetail(context_.main, eventId_, DetailShown(), [&] {
      if (plan != EventHtmlTab::BodyPlan::Write) return;
      bodyFailed = true;
      html_->WriteBodyFile(body);
      bodyFailed = false;
    });
  } catch (const std::exception& e) {
    wait.Restore();
    if (bodyFailed) {
      // Nothing of the row was written either: the operator can put it right and save again.
      MessageBoxes::Show(this, std::string("Error: ") + e.what(), "Error", MessageIcon::Critical);
      return;
    }
    Trap("cmdClose_Click", e.what());
    return;
  }
  try {
    if (CountImmediateEvents(context_.main, autoresponderId_) > 1) {
      wait.Restore();
      MessageBoxes::Show(this, "There is more than one immediate event for this Autoresponder (zero days)", "Warning",
                         MessageIcon::Information);
    }
  } catch (const std::exception& e) {
    Trap("cmdClose_Click", e.what());
  }
  Pause::For(2000);
  emit eventSaved();
  wait.Restore();
  accept();
}

void frmEventDetail::cmdCancel_Click() { reject(); }

void frmEventDetail::reject() {
  if (Busy()) return;
  QDialog::reject();
}

void frmEventDetail::closeEvent(QCloseEvent* event) {
  if (Busy()) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

bool frmEventDetail::eventFilter(QObject* watched, QEvent* event) {
  if (watched == txtEventInterval_ && event->type() == QEvent::FocusOut)
    txtEventInterval_->setText(Q(NormaliseInterval(S(txtEventInterval_->text()))));
  return QDialog::eventFilter(watched, event);
}

void frmEventDetail::Trap(const char* procedure, const std::string& error) {
  // The box below still tells the operator.
  TraceLogNoThrow(std::string("frmEventDetail:") + procedure + ": " + error, true);
  MessageBoxes::Show(this, "Error: " + error, "", MessageIcon::Critical);
}

// ---- Settings tab

void frmEventDetail::cmdBrowseAttachment_Click() {
  const std::optional<std::string> file = FileDialogs::OpenFile(
      this, "Attach A File",
      "All|*.*|Zip Files|*.zip|Word Documents|*.doc|HTML Files|*.htm;*.html|PDF Files|*.pdf|Text (*.txt)|*.txt||",
      "EventDetailAttachment");
  if (file && !TrimBlanks(*file).empty()) txtAttachment_->setText(Q(*file));
}

void frmEventDetail::cmdHTMLMessageFileBrowse_Click() {
  const std::optional<std::string> file = FileDialogs::OpenFile(
      this, "HTML Message From File", "HTML Files|*.htm;*.html|All|*.*||", "HTMLMessageFileBrowse");
  if (!file || TrimBlanks(*file).empty()) return;
  txtHTMLMessageFile_->setText(Q(*file));
  htmlFileTyped_ = *file;
  cbUseFilesForMessageBodies_Click();
}

void frmEventDetail::HtmlMessageFileTyped() {
  // A path typed into the field counts as one chosen with Browse.
  const std::string typed = S(txtHTMLMessageFile_->text());
  if (typed == htmlFileTyped_) return;
  htmlFileTyped_ = typed;
  cbUseFilesForMessageBodies_Click();
}

void frmEventDetail::cbUseFilesForMessageBodies_Click() {
  if (!FormLoaded_) return;
  const bool useFiles = cbUseFilesForMessageBodies_->isChecked();
  const std::string path =
      useFiles ? S(txtHTMLMessageFile_->text()) : EventContentFilePath(context_.dataFolder, eventId_);
  for (QWidget* w : std::initializer_list<QWidget*>{lblHTMLMessageFile_, txtHTMLMessageFile_, cmdHTMLMessageFileBrowse_,
                                                    lblPlainTextMessageFile_, txtPlainTextMessageFile_,
                                                    cmdPlainTextMessageFileBrowse_})
    w->setVisible(useFiles);
  optPlainText_Click();
  html_->UseBodyFile(path, useFiles);
}

void frmEventDetail::optPlainText_Click() {
  html_->ApplyPlainTextOnly();
  if (cbUseFilesForMessageBodies_->isChecked())
    for (QWidget* w : std::initializer_list<QWidget*>{lblHTMLMessageFile_, txtHTMLMessageFile_, cmdHTMLMessageFileBrowse_})
      w->setVisible(!html_->PlainTextOnly());
}

void frmEventDetail::cmdPlainTextMessageFileBrowse_Click() {
  const std::optional<std::string> file = FileDialogs::OpenFile(
      this, "Plain Text Message From File", "TXT Files|*.txt|All|*.*||", "PlainTextMessageFileBrowse");
  if (file && !TrimBlanks(*file).empty()) txtPlainTextMessageFile_->setText(Q(*file));
}

// ---- Plain text tab

void frmEventDetail::cmdClearMessage_Click() {
  if (MessageBoxes::Ask(this, "You are sure you want to clear the message?", "Warning", MessageIcon::Question,
                        Buttons::YesNo) != Answer::Yes)
    return;
  txtPlainText_->clear();
  if (txtPlainText_->isVisible()) txtPlainText_->setFocus();
}

void frmEventDetail::cmdImport_Click() {
  const std::optional<std::string> text =
      ImportTextFile(this, "PlainTextEditorImport", "Text (*.txt)|*.txt|All|*.*||",
                 "There is a problem with your plain text.  Please check your source document for errors.",
                 "cmdImport_Click");
  if (text) txtPlainText_->setPlainText(ForTextBox(*text));
}

void frmEventDetail::cmdCopyPlainText_Click() {
  if (std::optional<std::string> text = html_->PlainText()) txtPlainText_->setPlainText(ForTextBox(*text));
}

// ---- Preflight tab

void frmEventDetail::cmdPreflightTest_Click() {
  if (Busy()) return;
  BusyScope busy(*this);
  WaitCursor wait;
  lbStatus_->clear();
  const std::vector<PreflightElement> elements = html_->PreflightElements();
  std::string smtpServer;
  try {
    smtpServer = ConfigurationRow::Read(context_.main).SmtpServer();
  } catch (const std::exception& e) {
    wait.Restore();
    Trap("cmdPreflightTest_Click", e.what());
    return;
  }
  UrlProbe probe;
  preflightCheck_(
      S(txtSubject_->text()), smtpServer, elements, [&probe](const std::string& address) { return probe.Responds(address); },
      [this](const std::string& line, bool error) {
        lbStatus_->addItem(Q(line));
        if (error) lbStatus_->setCurrentRow(lbStatus_->count() - 1);
      });
  wait.Restore();
  QApplication::beep();
}

// ---- Opening

void OpenEventDetail(QWidget* from, const ControlContext& context) {
  frmEventDetail window(context, from);
  if (!window.Loaded()) return;
  if (auto* editor = qobject_cast<frmProjectDetail*>(from))
    QObject::connect(&window, &frmEventDetail::eventSaved, editor, &frmProjectDetail::ReloadEvents);
  window.exec();
}

}  // namespace ar
