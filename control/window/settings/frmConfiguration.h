#pragma once
// The configuration window: the outgoing mail server, the administrator settings, the
// summary report and the mailbox polling cycle, the single row of tblConfiguration. It
// is shown beside the other windows without blocking them.
#include "control/settings/Configuration.h"

#include <QWidget>

#include <vector>

class QCheckBox;
class QLineEdit;

namespace ar {

class Connection;

class frmConfiguration : public QWidget {
  Q_OBJECT
 public:
  explicit frmConfiguration(Connection& config, QWidget* parent = nullptr);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Load();
  void Save();
  void TestSMTPServer();
  // The address and time fields and their labels follow the daily summary check box.
  void ApplySummaryEmailState();
  // The summary time written back as "H:NNam/pm", or refused and emptied.
  void NormaliseSummaryTime();
  // Closes the window, and its frame when it is shown inside the main window.
  void CloseWindow();

  ConfigurationValues Values() const;
  QLineEdit* Text(const char* name) const;
  QCheckBox* Check(const char* name) const;

  Connection& config_;
  std::vector<QWidget*> summaryControls_;
};

}  // namespace ar
