#pragma once
// The event editor: one event of an autoresponder, its settings, its HTML body (kept in a
// file, edited in the visual editor, as code or as raw text: see EventHtmlTab) and its
// plain-text body, and the preflight check. Modal over the autoresponder editor; Save
// writes the row and the HTML body file, Cancel writes nothing more.
#include "control/events/PageProperties.h"
#include "control/events/Preflight.h"
#include "control/program/ControlContext.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace ar {

struct EventDetail;
class EventHtmlTab;
class HtmlEditor;
class HtmlPreview;

class frmEventDetail : public QDialog {
  Q_OBJECT
 public:
  // Loads the event in CurrentAutoresponderEventID(); Loaded() is false (after a message)
  // when its row cannot be read or is not there.
  explicit frmEventDetail(const ControlContext& context, QWidget* parent = nullptr);
  ~frmEventDetail() override;

  bool Loaded() const { return loaded_; }
  int64_t EventID() const { return eventId_; }
  // Where the HTML body is read from and written to.
  const std::string& HTMLMessagePath() const;
  // The head and page properties the body file is rebuilt from.
  const PageProperties& Properties() const;
  HtmlEditor* Editor() const;
  HtmlPreview* Preview() const;
  // True while a save or the preflight check runs: the controls are off and the window
  // does not close.
  bool Busy() const { return busy_ > 0; }

  // The check the preflight tab runs: RunPreflightCheck, unless a test puts in its own.
  using PreflightCheck = std::function<void(const std::string& subject, const std::string& smtpServer,
                                            const std::vector<PreflightElement>& elements, const UrlCheck& urlResponds,
                                            const PreflightLine& list)>;
  void SetPreflightCheck(PreflightCheck check) { preflightCheck_ = std::move(check); }

 signals:
  // After a save, just before the window closes.
  void eventSaved();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 public slots:
  void reject() override;

 private:
  class BusyScope;
  friend class BusyScope;

  // Building
  QWidget* BuildSettingsTab();
  QWidget* BuildPlainTextTab();
  QWidget* BuildPreflightTab();
  QPushButton* AddButton(const char* name, const char* text, const char* tip, void (frmEventDetail::*click)());
  void LoadEvent();
  void ShowDetail(const EventDetail& d);
  EventDetail DetailShown() const;

  // Switches
  void cbUseFilesForMessageBodies_Click();
  void optPlainText_Click();
  void HtmlMessageFileTyped();

  // Buttons
  void cmdClose_Click();
  void cmdCancel_Click();
  void cmdBrowseAttachment_Click();
  void cmdHTMLMessageFileBrowse_Click();
  void cmdPlainTextMessageFileBrowse_Click();
  void cmdClearMessage_Click();
  void cmdImport_Click();
  void cmdCopyPlainText_Click();
  void cmdPreflightTest_Click();
  void Trap(const char* procedure, const std::string& error);

  ControlContext context_;
  int64_t eventId_;
  int64_t autoresponderId_ = 0;
  bool loaded_ = false;
  bool FormLoaded_ = false;
  int busy_ = 0;

  std::string htmlFileTyped_;
  PreflightCheck preflightCheck_ = RunPreflightCheck;

  QTabWidget* tabs_;
  QLineEdit* txtEventName_;
  QLineEdit* txtFrom_;
  QLineEdit* txtFromName_;
  QLineEdit* txtReplyTo_;
  QLineEdit* txtAttachment_;
  QLineEdit* txtEventInterval_;
  QLineEdit* txtSubject_;
  QCheckBox* cbActive_;
  QCheckBox* cbUseFilesForMessageBodies_;
  QLabel* lblHTMLMessageFile_;
  QLineEdit* txtHTMLMessageFile_;
  QPushButton* cmdHTMLMessageFileBrowse_;
  QLabel* lblPlainTextMessageFile_;
  QLineEdit* txtPlainTextMessageFile_;
  QPushButton* cmdPlainTextMessageFileBrowse_;
  QPlainTextEdit* txtPlainText_;
  EventHtmlTab* html_;
  QListWidget* lbStatus_;
  QPushButton* cmdPreflightTest_;
  QPushButton* cmdClose_;
  QPushButton* cmdCancel_;
};

// Opens the event editor modally over `from` on CurrentAutoresponderEventID(); after a
// save the autoresponder editor it was opened from reloads its events.
void OpenEventDetail(QWidget* from, const ControlContext& context);

}  // namespace ar
