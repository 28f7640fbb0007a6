#pragma once
// What the two server test dialogs share: the list of the dialogue's lines (`lbList`)
// and the one button (`cmdContinue`, Alt+O), which stays off while the test runs. The
// dialogue runs on a thread of its own, so the dialog stays responsive; closing it
// abandons a test still running.
#include "control/servers/ServerCheckRunner.h"
#include "widgets/WaitCursor.h"

#include <QDialog>

#include <memory>
#include <optional>

class QListWidget;
class QPushButton;

namespace ar {

class ServerTestDialog : public QDialog {
  Q_OBJECT
 public:
  ~ServerTestDialog() override;
  // Closing by any way (the button, the window's close box, Escape) ends the test.
  void done(int result) override;

 protected:
  ServerTestDialog(const char* objectName, const char* title, QWidget* parent);
  // Called once, when the dialog is first shown and painted.
  virtual void FirstShown() = 0;
  // Starts the dialogue: the wait cursor shows until it has finished.
  void Start(ServerDialogue dialogue);
  void AddLine(const QString& line);

  void showEvent(QShowEvent* event) override;

 private:
  void Finished();
  void Abandon();

  QListWidget* lbList_;
  QPushButton* cmdContinue_;
  std::unique_ptr<ServerCheckRunner> runner_;
  std::optional<WaitCursor> cursor_;
  bool shown_ = false;
};

}  // namespace ar
