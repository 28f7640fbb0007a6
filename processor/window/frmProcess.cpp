#include "processor/window/frmProcess.h"

#include "processor/ProcessorProgram.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <QVBoxLayout>

namespace ar {

frmProcess::frmProcess(ProcessorProgram& program, QWidget* parent) : QWidget(parent), program_(program) {
  setObjectName("frmProcess");
  setWindowTitle("ostrel");
  lbStatus_ = new QListWidget(this);
  lbStatus_->setObjectName("lbStatus");
  cmdClose_ = new QPushButton("Close", this);
  cmdClose_->setObjectName("cmdClose");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lbStatus_);
  layout->addWidget(cmdClose_);
  resize(520, 360);
  // Closing the last window ends the program.
  connect(cmdClose_, &QPushButton::clicked, this, &QWidget::close);
  for (const std::string& line : program_.Status().Lines()) lbStatus_->addItem(QString::fromStdString(line));
  program_.Status().SetObserver(
      [this](const std::string& line, bool dropped) { AddLine(QString::fromStdString(line), dropped); });
  // A stop request (SIGTERM, SIGINT) closes the window, which ends the program once the
  // run in hand has stopped.
  if (program_.Stop().WakeFd() >= 0) {
    auto* stopped = new QSocketNotifier(program_.Stop().WakeFd(), QSocketNotifier::Read, this);
    connect(stopped, &QSocketNotifier::activated, this, [this, stopped] {
      stopped->setEnabled(false);
      close();
    });
  }
}

void frmProcess::AddLine(const QString& line, bool dropped) {
  if (dropped && lbStatus_->count() > 0) delete lbStatus_->takeItem(0);
  lbStatus_->addItem(line);
  // The new line becomes the current one, shown unselected.
  lbStatus_->setCurrentRow(lbStatus_->count() - 1, QItemSelectionModel::NoUpdate);
  lbStatus_->clearSelection();
  QCoreApplication::processEvents();
}

void frmProcess::StartRunAfter(int milliseconds) {
  QTimer::singleShot(milliseconds, this, [this] {
    if (program_.Run() == RunOutcome::SmtpServerNotSpecified || program_.Stop().Requested()) close();
  });
}

int RunWithWindow(int argc, char** argv, ProcessorProgram& program) {
  QApplication app(argc, argv);
  frmProcess window(program);
  window.show();
  window.StartRunAfter(2000);
  app.exec();
  program.Status().SetObserver(nullptr);
  return kExitOk;
}

}  // namespace ar
