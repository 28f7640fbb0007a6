#pragma once
// The import window: a delimited text file whose first line names the fields, the field
// that holds the address, and whether to de-duplicate the list afterwards. The import runs
// in batches on the window's thread; between them the status window is drawn and its stop
// button answered.
#include "control/program/ControlContext.h"

#include <QDialog>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <string>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace ar {

class frmListImportStatus;

class frmImportSubscribers : public QDialog {
  Q_OBJECT
 public:
  // Imports into the list of CurrentAutoresponderID(); refreshSubscribers makes the
  // editor show the list anew (after an import, a stop or a failure part way).
  frmImportSubscribers(const ControlContext& context, std::function<void()> refreshSubscribers,
                       QWidget* parent = nullptr);

  // The status window while an import runs (else nullptr).
  frmListImportStatus* StatusWindow() const;

  // Nothing closes the window while an import runs.
  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  std::string FileName() const;
  void ReadHeader();
  void ClearFields();
  void cmdBrowse_Click();
  void cmdImport_Click();
  void Import(const std::string& path, int addressField);
  // Lets the window system draw and handle input between batches.
  void Breathe(bool input);
  // The buttons are off while an import runs.
  void SetButtonsEnabled(bool enabled);
  void EndImport();

  ControlContext context_;
  std::function<void()> refreshSubscribers_;
  int64_t autoresponderId_;
  QLineEdit* txtFilename_;
  QPushButton* cmdBrowse_;
  QListWidget* clbEmailAddress_;
  QCheckBox* cbDedupe_;
  QPushButton* cmdImport_;
  QPushButton* cmdCancel_;
  QPointer<frmListImportStatus> status_;
  bool importing_ = false;
  bool nameChanged_ = false;  // the file name was typed into since its header was read
};

}  // namespace ar
