#include "control/window/subscribers/frmListImportStatus.h"

#include "widgets/MessageBoxes.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMovie>
#include <QPushButton>
#include <QVBoxLayout>

namespace ar {

frmListImportStatus::frmListImportStatus(const std::string& programFolder, QWidget* parent) : QDialog(parent) {
  setObjectName("frmListImportStatus");
  setWindowTitle("List Import Status");

  auto* picture = new QLabel(this);
  picture->setObjectName("aniMovingRecords");
  picture->setAlignment(Qt::AlignCenter);
  auto* movie = new QMovie(QString::fromStdString(programFolder + "/MovingRecords.gif"), QByteArray(), picture);
  if (movie->isValid()) {
    picture->setMovie(movie);
    movie->start();
  }
  lblStatus_ = new QLabel(this);
  lblStatus_->setObjectName("lblStatus");
  lblStatus_->setAlignment(Qt::AlignCenter);
  lblStatus_->setMinimumWidth(fontMetrics().horizontalAdvance("Importing records...") * 3 / 2);
  cmdStop_ = new QPushButton("&Stop", this);
  cmdStop_->setObjectName("cmdStop");
  cmdStop_->setAutoDefault(false);
  connect(cmdStop_, &QPushButton::clicked, this, &frmListImportStatus::cmdStop_Click);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cmdStop_);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(picture);
  layout->addWidget(lblStatus_);
  layout->addLayout(buttons);
}

void frmListImportStatus::SetStatus(const QString& text) {
  lblStatus_->setText(text);
  lblStatus_->repaint();
}

void frmListImportStatus::SetStopEnabled(bool enabled) { cmdStop_->setEnabled(enabled); }

void frmListImportStatus::Finish() {
  closing_ = true;
  close();
}

void frmListImportStatus::cmdStop_Click() {
  if (stopRequested_ || !cmdStop_->isEnabled()) return;
  // The import shows the wait cursor; the question is answered with the normal one.
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  const Answer answer = MessageBoxes::Ask(this, "Are you sure you want to stop importing the records?", "Warning",
                                          MessageIcon::Exclamation, Buttons::YesNo);
  QApplication::restoreOverrideCursor();
  if (answer == Answer::Yes) stopRequested_ = true;
}

void frmListImportStatus::closeEvent(QCloseEvent* event) {
  if (closing_) {
    event->accept();
    return;
  }
  event->ignore();
  cmdStop_Click();
}

void frmListImportStatus::reject() {
  if (closing_) QDialog::reject();
  else cmdStop_Click();
}

}  // namespace ar
