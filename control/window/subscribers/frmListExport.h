#pragma once
// The export window: writes the editor's subscriber list (the rows it has loaded, in its
// order) to a comma or tab delimited file in a chosen folder.
#include <QDialog>

#include <string>

class QComboBox;
class QLineEdit;

namespace ar {

class SubscriberList;

class frmListExport : public QDialog {
  Q_OBJECT
 public:
  // The folder starts as the user's documents folder; the file name is the default export
  // name for CurrentAutoresponderID() at this moment.
  explicit frmListExport(SubscriberList& list, QWidget* parent = nullptr);

 private:
  void cmdFolder_Click();
  void cmdOK_Click();

  SubscriberList& list_;
  QLineEdit* txtFolder_;
  QLineEdit* txtFilename_;
  QComboBox* clbFormat_;
};

}  // namespace ar
