#include "control/window/main/frmFastSplash.h"

#include "control/program/ControlProgram.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace ar {

frmFastSplash::frmFastSplash(bool atStart, QWidget* parent) : QDialog(parent) {
  setObjectName("frmFastSplash");
  setWindowTitle("Autoresponder");
  setModal(true);
  auto* title = new QLabel("Autoresponder", this);
  QFont big = title->font();
  big.setPointSize(big.pointSize() * 2);
  title->setFont(big);
  lblVersion_ = new QLabel(QString::fromStdString("Version  " + VersionText()), this);
  lblVersion_->setObjectName("lblVersion");
  cmdClose_ = new QPushButton("Close", this);
  cmdClose_->setObjectName("cmdClose");
  cmdClose_->setVisible(!atStart);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(title);
  layout->addWidget(lblVersion_);
  layout->addWidget(cmdClose_);
  connect(cmdClose_, &QPushButton::clicked, this, &QDialog::accept);
  timer_ = new QTimer(this);
  timer_->setObjectName("timerSplash");
  timer_->setInterval(2000);
  timer_->setSingleShot(true);
  connect(timer_, &QTimer::timeout, this, &QDialog::accept);
  if (atStart) timer_->start();
}

}  // namespace ar
