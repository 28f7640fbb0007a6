#pragma once
// The wait cursor over the whole application while long work runs; the normal cursor
// comes back when the object goes, whatever way the work ends.
#include <QApplication>
#include <QCursor>

namespace ar {

class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
  ~WaitCursor() { Restore(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
  // The normal cursor back before the object goes (before a message box, say).
  void Restore() {
    if (active_) QApplication::restoreOverrideCursor();
    active_ = false;
  }

 private:
  bool active_ = true;
};

}  // namespace ar
