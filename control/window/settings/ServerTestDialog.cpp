#include "control/window/settings/ServerTestDialog.h"

#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace ar {

ServerTestDialog::ServerTestDialog(const char* objectName, const char* title, QWidget* parent) : QDialog(parent) {
  setObjectName(objectName);
  setWindowTitle(title);
  setModal(true);
  lbList_ = new QListWidget(this);
  lbList_->setObjectName("lbList");
  cmdContinue_ = new QPushButton("&OK", this);
  cmdContinue_->setObjectName("cmdContinue");
  cmdContinue_->setEnabled(false);
  cmdContinue_->setDefault(true);
  connect(cmdContinue_, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cmdContinue_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lbList_);
  layout->addLayout(buttons);
  resize(560, 340);
}

ServerTestDialog::~ServerTestDialog() { Abandon(); }

void ServerTestDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shown_) return;
  shown_ = true;
  // Once the dialog has been painted, unless it was closed at once.
  QTimer::singleShot(0, this, [this] {
    if (isVisible()) FirstShown();
  });
}

void ServerTestDialog::Start(ServerDialogue dialogue) {
  cursor_.emplace();
  // The runner calls the listener on its own thread, and never once the dialog has begun
  // to go (Abandon takes it away first); the work is handed to the dialog's thread.
  auto post = [this](std::function<void()> work) {
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
  };
  ServerCheckRunner::Listener listener;
  listener.line = [this, post](const std::string& line) {
    post([this, text = QString::fromStdString(line)] { AddLine(text); });
  };
  listener.finished = [this, post] { post([this] { Finished(); }); };
  runner_ = std::make_unique<ServerCheckRunner>(std::move(dialogue), std::move(listener));
}

void ServerTestDialog::AddLine(const QString& line) {
  lbList_->addItem(line);
  lbList_->scrollToBottom();
}

void ServerTestDialog::Finished() {
  cursor_.reset();
  cmdContinue_->setEnabled(true);
  cmdContinue_->setFocus();
}

void ServerTestDialog::done(int result) {
  Abandon();
  QDialog::done(result);
}

void ServerTestDialog::Abandon() {
  cursor_.reset();
  runner_.reset();
}

}  // namespace ar
