#include "control/window/events/frmPageProperties.h"

#include "base/Trace.h"
#include "control/events/PageColour.h"
#include "control/window/events/frmHEADEditor.h"
#include "widgets/FileDialogs.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ar {
namespace {

PageColour SwatchColour(const QFrame* swatch) {
  const QColor c = swatch->palette().color(QPalette::Window);
  return {c.red(), c.green(), c.blue()};
}

void Paint(QFrame* swatch, const PageColour& colour) {
  QPalette palette = swatch->palette();
  palette.setColor(QPalette::Window, QColor(colour.red, colour.green, colour.blue));
  swatch->setPalette(palette);
}

QPushButton* AddButton(QWidget* parent, const char* name, const char* caption) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

frmPageProperties::frmPageProperties(PageProperties& properties, QWidget* parent)
    : QDialog(parent), properties_(properties) {
  setObjectName("frmPageProperties");
  setWindowTitle("Page Properties");
  setModal(true);

  struct Row {
    std::string PageProperties::*field;
    const char* key;  // the controls are named pic<key>, cb<key> and cmd<key>
    const char* caption;
  };
  const Row rows[] = {{&PageProperties::backgroundColor, "BackgroundColor", "Use Background Color"},
                      {&PageProperties::link, "Link", "Use Hyperlink Color"},
                      {&PageProperties::alink, "ALink", "Use Active Hyperlink Color"},
                      {&PageProperties::vlink, "VLink", "Use Visited Hyperlink Color"}};
  auto* grid = new QGridLayout;
  for (std::size_t i = 0; i < colours_.size(); ++i) {
    const std::string key = rows[i].key;
    Colour& colour = colours_[i];
    colour.field = rows[i].field;
    colour.swatch = new QFrame(this);
    colour.swatch->setObjectName(QString::fromStdString("pic" + key));
    colour.swatch->setFrameShape(QFrame::Box);
    colour.swatch->setAutoFillBackground(true);
    colour.swatch->setFixedSize(48, 22);
    Paint(colour.swatch, PageColour{});
    colour.use = new QCheckBox(rows[i].caption, this);
    colour.use->setObjectName(QString::fromStdString("cb" + key));
    connect(colour.use, &QCheckBox::clicked, this, [&colour] { colour.shown = true; });
    QPushButton* choose = AddButton(this, ("cmd" + key).c_str(), "Choose...");
    connect(choose, &QPushButton::clicked, this, [this, &colour] { ChooseColour(colour); });
    const int row = static_cast<int>(i);
    grid->addWidget(colour.swatch, row, 0);
    grid->addWidget(choose, row, 1);
    grid->addWidget(colour.use, row, 2);
  }
  grid->setColumnStretch(2, 1);

  auto* imageLabel = new QLabel("Background Image URL:", this);
  imageLabel->setObjectName("lblBackgroundImageURL");
  txtBackgroundImageURL_ = new QLineEdit(this);
  txtBackgroundImageURL_->setObjectName("txtBackgroundImageURL");
  txtBackgroundImageURL_->setMinimumWidth(320);
  imageLabel->setBuddy(txtBackgroundImageURL_);
  connect(txtBackgroundImageURL_, &QLineEdit::textEdited, this, [this] { backgroundShown_ = true; });
  QPushButton* browse = AddButton(this, "cmdBrowse", "&Browse...");
  connect(browse, &QPushButton::clicked, this, &frmPageProperties::BrowseBackground);
  auto* image = new QHBoxLayout;
  image->addWidget(txtBackgroundImageURL_, 1);
  image->addWidget(browse);

  QPushButton* head = AddButton(this, "cmdEditHead", "Edit &HEAD...");
  connect(head, &QPushButton::clicked, this, &frmPageProperties::EditHead);
  QPushButton* save = AddButton(this, "cmdSave", "&Save");
  save->setDefault(true);
  connect(save, &QPushButton::clicked, this, &frmPageProperties::Save);
  QPushButton* cancel = AddButton(this, "cmdCancel", "&Cancel");
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(head);
  buttons->addStretch(1);
  buttons->addWidget(save);
  buttons->addWidget(cancel);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addSpacing(8);
  layout->addWidget(imageLabel);
  layout->addLayout(image);
  layout->addStretch(1);
  layout->addLayout(buttons);
  Fill();
}

void frmPageProperties::Fill() {
  try {
    for (Colour& colour : colours_) {
      const std::string& stored = properties_.*colour.field;
      if (!stored.empty()) {
        Paint(colour.swatch, ParsePageColour(stored));
        colour.use->setChecked(true);
      }
      colour.shown = true;
    }
    txtBackgroundImageURL_->setText(QString::fromStdString(properties_.background));
    backgroundShown_ = true;
  } catch (const std::exception& e) {
    // A trace that cannot be written must not keep the window from opening.
    TraceLogNoThrow(std::string("frmPageProperties/form_load: ") + e.what(), true);
  }
}

void frmPageProperties::ChooseColour(Colour& colour) {
  const std::optional<std::string> chosen = FileDialogs::ChooseColour(this, PageColourText(SwatchColour(colour.swatch)));
  if (!chosen) return;
  try {
    Paint(colour.swatch, ParsePageColour(*chosen));
    colour.shown = true;
  } catch (const std::invalid_argument&) {
    // Not a colour: as if the dialog had been cancelled.
  }
}

void frmPageProperties::BrowseBackground() {
  if (auto chosen = FileDialogs::OpenFile(this, "Background Image", "GIF|*.gif|JPG|*.jpg|All|*.*||",
                                          "PagePropertiesBrowseAttachment")) {
    txtBackgroundImageURL_->setText(QString::fromStdString(*chosen));
    backgroundShown_ = true;
  }
}

void frmPageProperties::EditHead() {
  frmHEADEditor editor(properties_.head, this);
  if (editor.exec() == QDialog::Accepted) headSaved_ = true;
}

void frmPageProperties::Save() {
  for (const Colour& colour : colours_) {
    if (!colour.shown) continue;
    properties_.*colour.field = colour.use->isChecked() ? PageColourText(SwatchColour(colour.swatch)) : "";
  }
  if (backgroundShown_) properties_.background = txtBackgroundImageURL_->text().toStdString();
  saved_ = true;
  accept();
}

}  // namespace ar
