#pragma once
// The splash window: the program's version, shown at start (closing itself after two
// seconds) and from Help > About (with its Close button).
#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;

namespace ar {

class frmFastSplash : public QDialog {
  Q_OBJECT
 public:
  // atStart: the timer closes the window after 2000 ms and the Close button is hidden.
  explicit frmFastSplash(bool atStart, QWidget* parent = nullptr);

 private:
  QLabel* lblVersion_;
  QPushButton* cmdClose_;
  QTimer* timer_;
};

}  // namespace ar
