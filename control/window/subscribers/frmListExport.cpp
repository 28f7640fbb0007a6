#include "control/window/subscribers/frmListExport.h"

#include "base/Clock.h"
#include "control/subscribers/SubscriberExport.h"
#include "control/window/main/WindowOpeners.h"
#include "widgets/ButtonRow.h"
#include "widgets/FileDialogs.h"
#include "widgets/MessageBoxes.h"
#include "widgets/WaitCursor.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace ar {
namespace {

QPushButton* Button(const char* name, const char* text) {
  auto* b = new QPushButton(text);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

std::string StartFolder() {
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (!documents.isEmpty() && QDir(documents).exists()) return documents.toStdString();
  return QDir::homePath().toStdString();
}

}  // namespace

frmListExport::frmListExport(SubscriberList& list, QWidget* parent) : QDialog(parent), list_(list) {
  setObjectName("frmListExport");
  setWindowTitle("Subscriber Export");
  setModal(true);

  txtFolder_ = new QLineEdit(QString::fromStdString(StartFolder()));
  txtFolder_->setObjectName("txtFolder");
  txtFolder_->setMinimumWidth(fontMetrics().horizontalAdvance('x') * 48);
  QPushButton* cmdFolder = Button("cmdFolder", "&Browse...");
  connect(cmdFolder, &QPushButton::clicked, this, &frmListExport::cmdFolder_Click);
  txtFilename_ = new QLineEdit(QString::fromStdString(DefaultExportFileName(CurrentAutoresponderID(), NowDays())));
  txtFilename_->setObjectName("txtFilename");
  clbFormat_ = new QComboBox;
  clbFormat_->setObjectName("clbFormat");
  clbFormat_->addItems({"Comma Delimited", "Tab Delimited"});
  clbFormat_->setCurrentIndex(0);

  auto* fields = new QGridLayout;
  fields->addWidget(new QLabel("Folder"), 0, 0);
  fields->addWidget(txtFolder_, 0, 1);
  fields->addWidget(cmdFolder, 0, 2);
  fields->addWidget(new QLabel("Enter the filename"), 1, 0);
  fields->addWidget(txtFilename_, 1, 1, 1, 2);
  fields->addWidget(new QLabel("File format"), 2, 0);
  fields->addWidget(clbFormat_, 2, 1, 1, 2, Qt::AlignLeft);

  QPushButton* ok = Button("cmdOK", "&OK");
  QPushButton* cancel = Button("cmdCancel", "&Cancel");
  connect(ok, &QPushButton::clicked, this, &frmListExport::cmdOK_Click);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  QHBoxLayout* buttons = ButtonRow({ok, cancel});

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addStretch(1);
  layout->addLayout(buttons);
}

void frmListExport::cmdFolder_Click() {
  if (std::optional<std::string> folder =
          FileDialogs::ChooseFolder(this, "Export to folder", txtFolder_->text().toStdString()))
    txtFolder_->setText(QString::fromStdString(*folder));
}

void frmListExport::cmdOK_Click() {
  const std::string name = txtFilename_->text().trimmed().toStdString();
  if (name.empty()) {
    MessageBoxes::Show(this, "You must enter a file name", "", MessageIcon::Critical);
    txtFilename_->setFocus();
    return;
  }
  const std::string folder = txtFolder_->text().trimmed().toStdString();
  // A folder left empty or relative would put the file wherever the program happens to run.
  if (folder.empty() || folder.front() != '/') {
    MessageBoxes::Show(this, "You must choose a folder for the export file", "", MessageIcon::Critical);
    txtFolder_->setFocus();
    return;
  }
  const std::string target = !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
  if (QFileInfo::exists(QString::fromStdString(target)) &&
      MessageBoxes::Ask(this, "The export file you entered already exists.  Do you want to overwrite it?", "Warning",
                        MessageIcon::Exclamation, Buttons::YesNo) != Answer::Yes)
    return;
  WaitCursor wait;
  try {
    ExportSubscribers(list_, target, clbFormat_->currentIndex() == 1 ? '\t' : ',');
  } catch (const std::exception& e) {
    wait.Restore();
    MessageBoxes::Show(this, std::string("Error: ") + e.what(), "", MessageIcon::Critical);
    return;
  }
  wait.Restore();
  MessageBoxes::Show(this, "Export complete to file: " + target, "", MessageIcon::Information);
  accept();
}

}  // namespace ar
