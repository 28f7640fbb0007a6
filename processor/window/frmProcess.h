#pragma once
// The run's window, captioned "ostrel": the progress list and a Close button. Shown only
// in debug mode; it stays open after the run until the operator closes it.
#include <QWidget>

class QListWidget;
class QPushButton;

namespace ar {

class ProcessorProgram;

class frmProcess : public QWidget {
  Q_OBJECT
 public:
  explicit frmProcess(ProcessorProgram& program, QWidget* parent = nullptr);

  // Arms the run to start after the given delay (the window paints first).
  void StartRunAfter(int milliseconds);

 private:
  void AddLine(const QString& line, bool dropped);
  ProcessorProgram& program_;
  QListWidget* lbStatus_;
  QPushButton* cmdClose_;
};

// Shows the window, runs, and returns the program's exit code when the window closes.
int RunWithWindow(int argc, char** argv, ProcessorProgram& program);

}  // namespace ar
