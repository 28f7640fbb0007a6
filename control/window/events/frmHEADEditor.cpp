#include "control/window/events/frmHEADEditor.h"

#include "control/window/main/WindowOpeners.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ar {

frmHEADEditor::frmHEADEditor(std::string& head, QWidget* parent) : QDialog(parent), head_(head) {
  setObjectName("frmHEADEditor");
  setWindowTitle(QString::fromStdString("HEAD Editor - " + std::to_string(CurrentAutoresponderID())));
  setModal(true);

  txtHead_ = new QPlainTextEdit(this);
  txtHead_->setObjectName("txtHead");
  txtHead_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  txtHead_->setLineWrapMode(QPlainTextEdit::NoWrap);
  // Shown with plain line ends; an unchanged text goes back exactly as it came.
  txtHead_->setPlainText(QString::fromStdString(head_).replace("\r\n", "\n"));

  auto* note = new QLabel(
      "Note: Styles will not be applied in the editor itself, and will not display until you return to the preview",
      this);
  note->setObjectName("lblNote");
  note->setWordWrap(true);

  auto* save = new QPushButton("&Save", this);
  save->setObjectName("cmdSave");
  connect(save, &QPushButton::clicked, this, &frmHEADEditor::Save);
  auto* cancel = new QPushButton("&Cancel", this);
  cancel->setObjectName("cmdCancel");
  cancel->setAutoDefault(false);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(save);
  buttons->addWidget(cancel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(txtHead_, 1);
  layout->addWidget(note);
  layout->addLayout(buttons);
  resize(620, 400);
}

void frmHEADEditor::Save() {
  // The body file's lines end in CR LF.
  const QString text = txtHead_->toPlainText();
  if (text != QString::fromStdString(head_).replace("\r\n", "\n")) head_ = QString(text).replace("\n", "\r\n").toStdString();
  accept();
}

}  // namespace ar
