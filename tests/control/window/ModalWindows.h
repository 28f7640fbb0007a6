#pragma once
// Driving a modal window from a test: the window's own event loop runs the test's steps,
// so the call that opened it returns once the steps have closed it.
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace ar::test {

// Runs `steps` on the modal dialog of type T as soon as it is open; call it just before
// the action that opens the dialog. A dialog the steps leave open is closed (and the
// test fails), so a test never hangs on it.
template <typename T>
void WhenModalOpens(std::function<void(T*)> steps) {
  QTimer::singleShot(0, [steps] {
    QWidget* modal = QApplication::activeModalWidget();
    auto* dialog = qobject_cast<T*>(modal);
    if (!dialog) {
      ADD_FAILURE() << "no modal " << T::staticMetaObject.className() << " is open";
      if (auto* other = qobject_cast<QDialog*>(modal)) other->reject();
      return;
    }
    steps(dialog);
    if (dialog->isVisible()) {
      ADD_FAILURE() << T::staticMetaObject.className() << " was left open";
      dialog->reject();
    }
  });
}

}  // namespace ar::test
