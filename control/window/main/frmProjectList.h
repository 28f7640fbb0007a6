#pragma once
// The autoresponder list: the operator's home window inside the main frame. It lists
// every autoresponder with its schedule, subscriber count and last status, shows whether
// today is a blackout day, and runs the operations on whole autoresponders.
#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>

class QLabel;
class QTableView;
class QTimer;

namespace ar {

class AutoresponderListModel;
class ControlProgram;
class CustomButton;

class frmProjectList : public QWidget {
  Q_OBJECT
 public:
  // appClosing: whether the program is closing (the list refuses to close until then).
  // handle: runs an operation so that the main window's timers wait until it has ended.
  using Handler = std::function<void(const std::function<void()>&)>;
  frmProjectList(ControlProgram& program, std::function<bool()> appClosing, Handler handle = nullptr,
                 QWidget* parent = nullptr);

  // Shows or hides the blackout label as today is a blackout day or not.
  void UpdateBlackoutLabel();
  // Rereads the list and selects the row that was current again (none when it is gone).
  void Reload();

  // Wide enough for every column and the buttons, at the frame's default size.
  QSize sizeHint() const override { return QSize(960, 480); }

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  CustomButton* AddButton(const char* objectName, const char* caption, const char* picture, void (frmProjectList::*operation)());
  // Runs an operator's operation: the list's refresh waits meanwhile; an error is traced
  // and shown.
  void Operation(const std::function<void()>& body);
  // The selected autoresponder, or the error box of the operation when none is.
  std::optional<int64_t> Selected(const char* nothingSelected);
  std::optional<int64_t> SelectedId() const;
  void Select(std::optional<int64_t> id);
  void Activated();
  void RefreshTick();
  void SortBy(int column, Qt::SortOrder order);
  // New and Copy: the new autoresponder's subscriber table; an error is shown and the
  // autoresponder row stays.
  void CreateTable(int64_t id);
  // The autoresponder editor on CurrentAutoresponderID().
  void OpenEditor();

  void New();
  void Edit();
  void Copy();
  void Rename();
  void Delete();
  void RunNow();
  void SummaryReport();
  void Monitor();

  ControlProgram& program_;
  std::function<bool()> appClosing_;
  Handler handle_;
  AutoresponderListModel* model_;
  QTableView* grid_;
  QLabel* lblBackoutDayActive_;
  QTimer* timerRefresh_;
  std::map<int, CustomButton*> altKeys_;
  int busy_ = 0;
  bool refreshHeld_ = false;
  bool connectedToFrame_ = false;
};

}  // namespace ar
