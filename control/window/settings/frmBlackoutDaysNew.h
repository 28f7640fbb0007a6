#pragma once
// A new blackout day: a date (today to begin with) and a description.
#include <QDialog>

class QDateEdit;
class QLineEdit;

namespace ar {

class Connection;

class frmBlackoutDaysNew : public QDialog {
  Q_OBJECT
 public:
  explicit frmBlackoutDaysNew(Connection& main, QWidget* parent = nullptr);

 private:
  void Ok();

  Connection& main_;
  QDateEdit* dtpBlackoutDay_;
  QLineEdit* txtDescription_;
};

}  // namespace ar
