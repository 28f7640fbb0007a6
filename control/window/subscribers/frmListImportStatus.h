#pragma once
// The small window shown while an import runs: a moving picture, the progress and a stop
// button. Stop only records the operator's wish (after a question); the import looks at
// it between its batches and ends itself, so nothing is closed under a running scan.
#include <QDialog>

#include <string>

class QLabel;
class QPushButton;

namespace ar {

class frmListImportStatus : public QDialog {
  Q_OBJECT
 public:
  // The picture is programFolder + "/MovingRecords.gif" (none when the file is missing).
  frmListImportStatus(const std::string& programFolder, QWidget* parent);

  void SetStatus(const QString& text);
  void SetStopEnabled(bool enabled);
  // Whether the operator confirmed a stop.
  bool StopRequested() const { return stopRequested_; }
  // Closes the window for good, once the import is over.
  void Finish();

  // Closing the window asks the same question as Stop.
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void cmdStop_Click();

  QLabel* lblStatus_;
  QPushButton* cmdStop_;
  bool stopRequested_ = false;
  bool closing_ = false;  // the import closes the window itself
};

}  // namespace ar
