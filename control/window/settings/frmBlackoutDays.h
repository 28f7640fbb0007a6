#pragma once
// The blackout days in date order, with New and Delete; a modal window of the main menu.
#include <QDialog>

class QListWidget;
class QPushButton;

namespace ar {

class Connection;

class frmBlackoutDays : public QDialog {
  Q_OBJECT
 public:
  explicit frmBlackoutDays(Connection& main, QWidget* parent = nullptr);

 private:
  void Fill();
  void New();
  void Delete();
  // Runs a button's work; an error is shown and the window stays.
  void Guarded(void (frmBlackoutDays::*work)());

  Connection& main_;
  QListWidget* lbBlackoutDays_;
};

}  // namespace ar
