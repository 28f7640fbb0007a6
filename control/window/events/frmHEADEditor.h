#pragma once
// The HEAD editor: the text of the event's document head (styles, title, meta lines),
// written back by Save.
#include <QDialog>

#include <string>

class QPlainTextEdit;

namespace ar {

class frmHEADEditor : public QDialog {
  Q_OBJECT
 public:
  frmHEADEditor(std::string& head, QWidget* parent = nullptr);

 private:
  void Save();

  std::string& head_;
  QPlainTextEdit* txtHead_;
};

}  // namespace ar
