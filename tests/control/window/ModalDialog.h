#pragma once
// Drives a modal dialog that the code under test opens with exec(): once it is up, `drive`
// gets it (nullptr when no dialog of that type came up) and the dialog is closed
// afterwards if `drive` left it open, so a failed check never leaves the test waiting.
#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace ar::test {

template <class Dialog>
void WhenModal(std::function<void(Dialog*)> drive) {
  QTimer::singleShot(0, [drive = std::move(drive)] {
    QPointer<QWidget> modal = QApplication::activeModalWidget();
    auto* dialog = qobject_cast<Dialog*>(modal.data());
    if (!dialog) ADD_FAILURE() << "no modal " << Dialog::staticMetaObject.className();
    drive(dialog);
    if (modal && modal->isVisible()) modal->close();
  });
}

}  // namespace ar::test
