#include "control/window/templates/frmTemplates.h"

#include "control/events/Templates.h"
#include "control/window/templates/frmExternalTemplates.h"
#include "control/window/templates/frmTemplateImport.h"
#include "widgets/MessageBoxes.h"

#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <tuple>

namespace ar {
namespace {

// The room the preview picture is fitted into.
constexpr int kPreviewWidth = 300;
constexpr int kPreviewHeight = 380;

constexpr const char* kSelectFirst = "You must select a template first";

// The picture scaled down to fit the preview (never up), read at that size so that a
// large picture costs no more memory than the preview; a null picture when it cannot be read.
QPixmap PreviewPicture(const std::string& path) {
  if (path.empty()) return {};
  QImageReader reader(QString::fromStdString(path));
  reader.setAutoTransform(true);
  const QSize size = reader.size();
  if (size.isValid() && (size.width() > kPreviewWidth || size.height() > kPreviewHeight))
    reader.setScaledSize(size.scaled(kPreviewWidth, kPreviewHeight, Qt::KeepAspectRatio));
  return QPixmap::fromImage(reader.read());
}

}  // namespace

frmTemplates::frmTemplates(Connection& main, std::string templatesFolder, bool selecting, QWidget* parent)
    : QDialog(parent), main_(main), folder_(std::move(templatesFolder)), selecting_(selecting) {
  setObjectName("frmTemplates");
  setWindowTitle("Templates");
  setModal(true);

  lbTemplates_ = new QListWidget(this);
  lbTemplates_->setObjectName("lbTemplates");
  lbTemplates_->setSelectionMode(QAbstractItemView::SingleSelection);
  lbTemplates_->setMinimumWidth(220);
  connect(lbTemplates_, &QListWidget::currentRowChanged, this, [this] { ShowPreview(); });
  connect(lbTemplates_, &QListWidget::itemDoubleClicked, this, [this] {
    if (selecting_) Guarded(&frmTemplates::Select);
  });
  lblDefaultTemplate_ = new QLabel(this);
  lblDefaultTemplate_->setObjectName("lblDefaultTemplate");
  lblDefaultTemplate_->setWordWrap(true);

  imgPreview_ = new QLabel(this);
  imgPreview_->setObjectName("imgPreview");
  imgPreview_->setFixedSize(kPreviewWidth + 4, kPreviewHeight + 4);
  imgPreview_->setAlignment(Qt::AlignCenter);
  imgPreview_->setFrameShape(QFrame::StyledPanel);

  auto* buttons = new QVBoxLayout;
  auto add = [&](const char* name, const char* caption) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->setAutoDefault(false);
    buttons->addWidget(button);
    return button;
  };
  for (const auto& [name, caption, work] : {
           std::tuple{"cmdSelect", "&Select", &frmTemplates::Select},
           std::tuple{"cmdSetAsDefaultTemplate", "Set As &Default", &frmTemplates::SetAsDefault},
           std::tuple{"cmdClearDefaultTemplate", "C&lear Default", &frmTemplates::ClearDefault},
           std::tuple{"cmdImport", "&Import...", &frmTemplates::Import},
           std::tuple{"cmdExternalTemplates", "&Gallery...", &frmTemplates::ExternalTemplates},
           std::tuple{"cmdRefreshPreview", "&Refresh", &frmTemplates::LoadList},
       })
    connect(add(name, caption), &QPushButton::clicked, this, [this, work = work] { Guarded(work); });
  // From the menu there is no event to put a template into: no select button, and with
  // it hidden its Alt+S does nothing either.
  findChild<QPushButton*>("cmdSelect")->setVisible(selecting_);
  buttons->addStretch(1);
  connect(add("cmdClose", "&Close"), &QPushButton::clicked, this, &QDialog::reject);

  auto* list = new QVBoxLayout;
  list->addWidget(lbTemplates_, 1);
  list->addWidget(lblDefaultTemplate_);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(list, 1);
  layout->addWidget(imgPreview_, 0, Qt::AlignTop);
  layout->addLayout(buttons);
  Guarded(&frmTemplates::LoadList);
}

void frmTemplates::Guarded(void (frmTemplates::*work)()) {
  try {
    (this->*work)();
  } catch (const std::exception& e) {
    MessageBoxes::Show(this, std::string("Error: ") + e.what(), "", MessageIcon::Critical);
  }
}

std::string frmTemplates::SelectedName() const {
  const QListWidgetItem* item = lbTemplates_->currentItem();
  return item && item->isSelected() ? item->text().toStdString() : "";
}

void frmTemplates::LoadList() {
  lbTemplates_->clear();
  const std::vector<std::string> names = ListTemplates(folder_);
  for (const std::string& name : names) lbTemplates_->addItem(QString::fromStdString(name));
  const std::string defaultName = LoadDefaultTemplate(main_);
  lblDefaultTemplate_->setText(QString::fromStdString("Default template: " + (defaultName.empty() ? "(none)" : defaultName)));
  const int preselected = PreselectedTemplate(names, defaultName);
  if (preselected >= 0) lbTemplates_->setCurrentRow(preselected);
  ShowPreview();
}

void frmTemplates::ShowPreview() {
  const std::string name = SelectedName();
  const QPixmap picture = name.empty() ? QPixmap() : PreviewPicture(PreviewPicturePath(folder_, name));
  imgPreview_->setPixmap(picture);
  imgPreview_->setToolTip(QString::fromStdString(name));
}

void frmTemplates::Select() {
  const std::string name = SelectedName();
  if (name.empty()) {
    MessageBoxes::Show(this, kSelectFirst, "Error", MessageIcon::Critical);
    return;
  }
  if (MessageBoxes::Ask(this, "This will overwrite your existing HTML message.  Do you want to continue?", "",
                        MessageIcon::Question, Buttons::YesNo) != Answer::Yes)
    return;
  try {
    chosen_ = ReadTemplateText(folder_, name);
  } catch (const std::exception&) {
    // Gone or unreadable since the list was loaded: the list shows what is there now.
    MessageBoxes::Show(this, "File could not be found or is not accessable", "Error", MessageIcon::Critical);
    LoadList();
    return;
  }
  accept();
}

void frmTemplates::SetAsDefault() {
  const std::string name = SelectedName();
  if (name.empty()) {
    MessageBoxes::Show(this, kSelectFirst, "Error", MessageIcon::Critical);
    return;
  }
  SetDefaultTemplate(main_, name);
  lblDefaultTemplate_->setText(QString::fromStdString("Default template: " + name));
}

void frmTemplates::ClearDefault() {
  ClearDefaultTemplate(main_);
  LoadList();
  MessageBoxes::Show(this, "Default template cleared", "", MessageIcon::Information);
}

void frmTemplates::Import() {
  frmTemplateImport window(folder_, this);
  window.exec();
  LoadList();
}

void frmTemplates::ExternalTemplates() {
  frmExternalTemplates window(folder_, this);
  window.exec();
  LoadList();
}

}  // namespace ar
