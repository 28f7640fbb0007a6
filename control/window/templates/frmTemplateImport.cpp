#include "control/window/templates/frmTemplateImport.h"

#include "base/Text.h"
#include "control/events/Templates.h"
#include "widgets/ButtonRow.h"
#include "widgets/FileDialogs.h"
#include "widgets/MessageBoxes.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace ar {
namespace {

constexpr const char* kRemembered = "TemplateImport";

}  // namespace

frmTemplateImport::frmTemplateImport(std::string templatesFolder, QWidget* parent)
    : QDialog(parent), folder_(std::move(templatesFolder)) {
  setObjectName("frmTemplateImport");
  setWindowTitle("Template Import");
  setModal(true);

  auto* prompt = new QLabel("HTML file to copy into the templates folder (*.html, *.htm):", this);
  prompt->setObjectName("lblFileName");
  txtFileName_ = new QLineEdit(this);
  txtFileName_->setObjectName("txtFileName");
  txtFileName_->setMinimumWidth(360);
  prompt->setBuddy(txtFileName_);
  auto* browse = new QPushButton("&Browse...", this);
  browse->setObjectName("cmdBrowse");
  browse->setAutoDefault(false);
  connect(browse, &QPushButton::clicked, this, &frmTemplateImport::Browse);

  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("cmdOK");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &frmTemplateImport::Import);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("cmdCancel");
  cancel->setAutoDefault(false);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* file = new QHBoxLayout;
  file->addWidget(txtFileName_, 1);
  file->addWidget(browse);
  QHBoxLayout* buttons = ButtonRow({ok, cancel});
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(prompt);
  layout->addLayout(file);
  layout->addStretch(1);
  layout->addLayout(buttons);
}

void frmTemplateImport::Browse() {
  // The first browse starts in the user's documents folder; later ones where the last
  // file was chosen.
  if (FileDialogs::RememberedFolder(kRemembered).empty()) {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty()) FileDialogs::RememberFolderOf(kRemembered, documents.toStdString() + "/");
  }
  if (auto chosen = FileDialogs::OpenFile(this, "Template Import", "HTML Files|*.html;*.htm||", kRemembered))
    txtFileName_->setText(QString::fromStdString(*chosen));
}

void frmTemplateImport::Import() {
  const std::string source = TrimBlanks(txtFileName_->text().toStdString());
  switch (CheckTemplateImport(source, folder_)) {
    case TemplateImportCheck::NotFound:
      MessageBoxes::Show(this, "File could not be found or is not accessable", "Error", MessageIcon::Critical);
      return;
    case TemplateImportCheck::WouldReplace:
      if (MessageBoxes::Ask(this,
                            "A template named " + TemplateImportName(source) +
                                " already exists.  Do you want to replace it?",
                            "Template Import", MessageIcon::Question, Buttons::YesNo) != Answer::Yes)
        return;
      break;
    case TemplateImportCheck::Ready: break;
  }
  const std::string failure = ImportTemplate(source, folder_);
  if (!failure.empty()) {
    MessageBoxes::Show(this, "The template could not be imported: " + failure, "Error", MessageIcon::Critical);
    return;
  }
  accept();
}

}  // namespace ar
