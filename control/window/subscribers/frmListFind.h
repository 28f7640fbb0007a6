#pragma once
// The find window: moves the editor's subscriber grid to the next row whose chosen column
// holds a text, forwards or backwards, continuing after the row found last. The search
// runs through the store, so only the page of the row found is read into the grid.
#include <QDialog>

#include <cstdint>
#include <optional>

class QComboBox;
class QLineEdit;
class QTableView;

namespace ar {

class Connection;
class SubscriberGridModel;

class frmListFind : public QDialog {
  Q_OBJECT
 public:
  // subscribers: the connection of the grid's list.
  frmListFind(Connection& subscribers, QTableView& grid, SubscriberGridModel& model, QWidget* parent = nullptr);

 private:
  void cmdFindFirst_Click();
  void cmdFindNext_Click();

  Connection& subscribers_;
  QTableView& grid_;
  SubscriberGridModel& model_;
  QLineEdit* txtValue1_;
  QComboBox* clbFieldList_;
  QComboBox* clbDirection_;
  std::optional<int64_t> lastFound_;  // where the next search continues; none: from the start
};

}  // namespace ar
