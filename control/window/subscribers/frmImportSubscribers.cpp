#include "control/window/subscribers/frmImportSubscribers.h"

#include "base/Trace.h"
#include "control/subscribers/CsvFile.h"
#include "control/subscribers/ImportWorkflow.h"
#include "control/subscribers/SubscriberImport.h"
#include "control/window/main/WindowOpeners.h"
#include "control/window/subscribers/frmListImportStatus.h"
#include "widgets/FileDialogs.h"
#include "widgets/MessageBoxes.h"
#include "widgets/Pause.h"
#include "widgets/WaitCursor.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace ar {
namespace {

constexpr const char* kNotFieldNames =
    "The file you selected for importing has invalid characters in the first line which usually means that field "
    "name headers do not exist.  The first line of the text file must include field headers to continue.";

void Critical(QWidget* parent, const std::string& text) { MessageBoxes::Show(parent, text, "", MessageIcon::Critical); }

// A forced trace line; the operator is told in a box as well, so a trace that cannot be
// written is passed over.
void TraceProblem(const std::string& message) {
  TraceLogNoThrow("frmImportSubscribers:cmdImport_Click: " + message, true);
}

}  // namespace

frmImportSubscribers::frmImportSubscribers(const ControlContext& context, std::function<void()> refreshSubscribers,
                                           QWidget* parent)
    : QDialog(parent),
      context_(context),
      refreshSubscribers_(std::move(refreshSubscribers)),
      autoresponderId_(CurrentAutoresponderID()) {
  setObjectName("frmImportSubscribers");
  setWindowTitle("Import Subscribers");
  setModal(true);

  txtFilename_ = new QLineEdit;
  txtFilename_->setObjectName("txtFilename");
  txtFilename_->setMinimumWidth(fontMetrics().horizontalAdvance('x') * 64);
  txtFilename_->installEventFilter(this);
  connect(txtFilename_, &QLineEdit::textEdited, this, [this] { nameChanged_ = true; });
  cmdBrowse_ = new QPushButton("&Browse...");
  cmdBrowse_->setObjectName("cmdBrowse");
  cmdBrowse_->setAutoDefault(false);
  connect(cmdBrowse_, &QPushButton::clicked, this, &frmImportSubscribers::cmdBrowse_Click);
  auto* step1 = new QGroupBox("Step #1 - Browse to File");
  step1->setObjectName("fraStep1");
  auto* s1 = new QHBoxLayout(step1);
  s1->addWidget(txtFilename_, 1);
  s1->addWidget(cmdBrowse_);

  clbEmailAddress_ = new QListWidget;
  clbEmailAddress_->setObjectName("clbEmailAddress");
  clbEmailAddress_->setSelectionMode(QAbstractItemView::SingleSelection);
  clbEmailAddress_->setEnabled(false);
  clbEmailAddress_->setMinimumHeight(fontMetrics().height() * 8);
  auto* step2 = new QGroupBox("Step #2 - Select the email address field");
  step2->setObjectName("fraStep2");
  auto* s2 = new QVBoxLayout(step2);
  s2->addWidget(clbEmailAddress_);

  cbDedupe_ = new QCheckBox("De-dupe the list after the import");
  cbDedupe_->setObjectName("cbDedupe");
  cmdImport_ = new QPushButton("&Import");
  cmdImport_->setObjectName("cmdImport");
  cmdImport_->setAutoDefault(false);
  connect(cmdImport_, &QPushButton::clicked, this, &frmImportSubscribers::cmdImport_Click);
  cmdCancel_ = new QPushButton("&Cancel");
  cmdCancel_->setObjectName("cmdCancel");
  cmdCancel_->setAutoDefault(false);
  connect(cmdCancel_, &QPushButton::clicked, this, &frmImportSubscribers::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cbDedupe_);
  buttons->addStretch(1);
  buttons->addWidget(cmdImport_);
  buttons->addWidget(cmdCancel_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(step1);
  layout->addWidget(step2, 1);
  layout->addLayout(buttons);
}

frmListImportStatus* frmImportSubscribers::StatusWindow() const { return status_; }

std::string frmImportSubscribers::FileName() const { return txtFilename_->text().trimmed().toStdString(); }

bool frmImportSubscribers::eventFilter(QObject* watched, QEvent* event) {
  // Leaving the file name field reads the header of a name typed there.
  if (watched == txtFilename_ && event->type() == QEvent::FocusOut && nameChanged_ && !importing_) ReadHeader();
  return QDialog::eventFilter(watched, event);
}

void frmImportSubscribers::reject() {
  if (!importing_) QDialog::reject();
}

void frmImportSubscribers::closeEvent(QCloseEvent* event) {
  if (importing_) event->ignore();
  else QDialog::closeEvent(event);
}

void frmImportSubscribers::ClearFields() {
  clbEmailAddress_->clear();
  clbEmailAddress_->setEnabled(false);
}

void frmImportSubscribers::ReadHeader() {
  nameChanged_ = false;
  const std::string path = FileName();
  if (path.empty()) return;
  ImportHeader header;
  try {
    header = ReadImportHeader(path);
  } catch (const std::exception& e) {
    ClearFields();
    Critical(this, std::string("Error: ") + e.what());
    return;
  }
  switch (header.problem) {
    case ImportHeader::Problem::Missing:
      ClearFields();
      Critical(this, "The file you specified does not exist");
      return;
    case ImportHeader::Problem::NotFieldNames:
      ClearFields();
      Critical(this, kNotFieldNames);
      txtFilename_->clear();
      txtFilename_->setFocus();
      return;
    case ImportHeader::Problem::None: break;
  }
  clbEmailAddress_->clear();
  for (const std::string& field : header.fields) clbEmailAddress_->addItem(QString::fromStdString(field));
  clbEmailAddress_->setEnabled(!header.fields.empty());
}

void frmImportSubscribers::cmdBrowse_Click() {
  const std::optional<std::string> file =
      FileDialogs::OpenFile(this, "Import A List", "CSV (*.csv)|*.csv|Text (*.txt)|*.txt|All|*.*||", "ImportBrowse");
  if (!file) return;
  txtFilename_->setText(QString::fromStdString(*file));
  ReadHeader();
}

void frmImportSubscribers::cmdImport_Click() {
  const std::string path = FileName();
  if (path.empty()) {
    Critical(this, "You must enter a file name");
    txtFilename_->setFocus();
    return;
  }
  if (!RegularFileExists(path)) {
    Critical(this, "The filename selected does not exist");
    txtFilename_->setFocus();
    return;
  }
  if (clbEmailAddress_->currentRow() < 0 || clbEmailAddress_->selectedItems().isEmpty()) {
    Critical(this, "You must at least map the email address field");
    clbEmailAddress_->setFocus();
    return;
  }
  Import(path, clbEmailAddress_->currentRow() + 1);
}

void frmImportSubscribers::Breathe(bool input) {
  QApplication::processEvents(input ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
}

void frmImportSubscribers::SetButtonsEnabled(bool enabled) {
  for (QPushButton* button : {cmdBrowse_, cmdImport_, cmdCancel_}) button->setEnabled(enabled);
}

void frmImportSubscribers::EndImport() {
  importing_ = false;
  if (status_) status_->Finish();
  SetButtonsEnabled(true);
}

void frmImportSubscribers::Import(const std::string& path, int addressField) {
  WaitCursor wait;
  status_ = new frmListImportStatus(context_.programFolder, this);
  status_->setAttribute(Qt::WA_DeleteOnClose);
  status_->SetStatus("Importing records...");
  status_->show();
  if (!RegularFileExists(path)) {
    wait.Restore();
    status_->Finish();
    Critical(this, "The filename specified does not exist");
    txtFilename_->setFocus();
    return;
  }
  importing_ = true;
  SetButtonsEnabled(false);
  try {
    // The window's share of the import: the percentage, the Stop button, and its turn to
    // draw itself between the steps.
    struct Shown : ImportProgress {
      frmImportSubscribers& window;
      explicit Shown(frmImportSubscribers& w) : window(w) {}
      void BatchCommitted(int percent) override {
        window.status_->SetStatus(QString::number(percent) + "% completed");
        window.Breathe(true);
      }
      bool StopRequested() override { return window.status_->StopRequested(); }
      void DeDuping() override {
        window.status_->SetStopEnabled(false);
        window.status_->SetStatus("De-Duping...");
      }
      void Breathe() override { window.Breathe(false); }
    } shown(*this);
    const ImportOutcome outcome = ImportSubscriberFile(context_.subscribers, autoresponderId_, path, addressField,
                                                       cbDedupe_->isChecked(), shown);
    if (outcome.stopped) {
      wait.Restore();
      EndImport();
      if (refreshSubscribers_) refreshSubscribers_();
      done(QDialog::Rejected);
      return;
    }
  } catch (const std::exception& e) {
    wait.Restore();
    EndImport();
    TraceProblem(e.what());
    Critical(this, std::string("Error during import: ") + e.what());
    if (refreshSubscribers_) refreshSubscribers_();  // rows of the batches before the failure stay
    return;
  }
  wait.Restore();
  Pause::For(2000);
  EndImport();
  MessageBoxes::Show(this, "Import complete.", "", MessageIcon::Information);
  if (refreshSubscribers_) refreshSubscribers_();
  done(QDialog::Accepted);
}

}  // namespace ar
