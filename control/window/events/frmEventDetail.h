#pragma once
// The event editor: one event of an autoresponder, its settings, its HTML body (kept in a
// file, edited in the visual editor, as code or as raw text) and its plain-text body, and
// the preflight check. Modal over the autoresponder editor; Save writes the row and the
// HTML body file, Cancel writes nothing more.
#include "control/events/BodyFileIo.h"
#include "control/events/PageProperties.h"
#include "control/events/Preflight.h"
#include "control/program/ControlContext.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTabWidget;

namespace ar {

struct EventDetail;
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
  const std::string& HTMLMessagePath() const { return htmlMessagePath_; }
  // The head and page properties the body file is rebuilt from.
  const PageProperties& Properties() const { return properties_; }
  HtmlEditor* Editor() const { return editor_; }
  HtmlPreview* Preview() const { return PreviewWebbrowser_; }
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
  enum class View { Edit, Code, Preview };
  class BusyScope;
  friend class BusyScope;

  // Building
  QWidget* BuildSettingsTab();
  QWidget* BuildHtmlTab();
  QWidget* BuildPlainTextTab();
  QWidget* BuildPreflightTab();
  QPushButton* AddButton(const char* name, const char* text, const char* tip, void (frmEventDetail::*click)());
  void LoadEvent();
  void ShowDetail(const EventDetail& d);
  EventDetail DetailShown() const;

  // The HTML body
  void LoadMessage();
  void SetDOM();
  void ClearHTMLMessage();
  // Gives the editor and the raw text the document, and reads its head and page
  // properties (a load, an import, a template).
  void SetHtmlDocument(const std::string& html);
  // The body file as it would be written now; nothing when the editor did not answer.
  std::optional<std::string> ComposeBodyFile();
  // Writes the body file and notes its new state; throws with the reason.
  void WriteBodyFile(const std::string& text);
  // False (after offering to load it again) when another program changed the body file
  // since it was loaded and the operator chose not to write over it.
  bool BodyFileUnchangedOnDisk();
  bool HtmlOnly() const;
  // While the visual editor is off, the raw text is the document: it goes into the editor
  // before anything reads the live document.
  void SyncEditorFromHtmlText();
  // A refusal while the preview is shown; true when refused.
  bool RefusedInPreview(const char* message);

  // Views and switches
  void SelectView(View view);
  void ShowHtmlPane();
  // Shows the message in the preview pane; false (after its message) when it cannot.
  bool ShowPreview();
  void EditorModeChanged(bool sourceMode);
  void cbDisableWYSIWYG_Click();
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
  void cmdExternalEditor_Click();
  void cmdClearHTMLMessage_Click();
  void cmdPageProperties_Click();
  void cmdImportHTML_Click();
  void cmdTemplates_Click();
  void cmdRefreshPreview_Click();
  void cmdPreflightTest_Click();
  void EditorCommand(const QString& command, bool* handled);

  // What an operation that writes the body file (save, preview, external editor) does
  // with it: leave the file as it is, write `text`, or stop. Asks before writing over the
  // operator's own file or over one changed by another program; a body that could not be
  // loaded is never written (the save asks whether to go on without it).
  enum class BodyPlan { Skip, Write, Stop };
  BodyPlan PlanBodyWrite(std::string& text, bool askWhenUnreadable);
  // A file chosen for an import, within the size limit, read; nothing when the import
  // stops (after its message).
  std::optional<std::string> ImportFile(const char* section, const char* filter, const char* problem,
                                        const char* procedure);
  void Trap(const char* procedure, const std::string& error);

  ControlContext context_;
  int64_t eventId_;
  int64_t autoresponderId_ = 0;
  bool loaded_ = false;
  bool FormLoaded_ = false;
  bool SyncingViews_ = false;
  int busy_ = 0;
  View view_ = View::Edit;

  std::string htmlMessagePath_;
  PageProperties properties_;
  // Whether the body could be read from its file (when not, it is never written over it)
  // and why not; the file's stamp when it was read or last written; the body file as it
  // would have been written right after loading (to tell an operator's file was changed).
  bool bodyReadable_ = true;
  std::string bodyProblem_;
  std::optional<FileStamp> bodyStamp_;
  std::optional<std::string> bodyBaseline_;
  bool editorHasHtmlText_ = true;
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
  QCheckBox* optPlainText_;
  QCheckBox* cbActive_;
  QCheckBox* cbUseFilesForMessageBodies_;
  QCheckBox* cbDisableWYSIWYG_;
  QLabel* lblHTMLMessageFile_;
  QLineEdit* txtHTMLMessageFile_;
  QPushButton* cmdHTMLMessageFileBrowse_;
  QLabel* lblPlainTextMessageFile_;
  QLineEdit* txtPlainTextMessageFile_;
  QPushButton* cmdPlainTextMessageFileBrowse_;
  QPlainTextEdit* txtPlainText_;
  QPlainTextEdit* txtHTML_;
  QRadioButton* optEditView_;
  QRadioButton* optCodeView_;
  QRadioButton* optPreview_;
  QPushButton* cmdExternalEditor_;
  QPushButton* cmdRefreshPreview_;
  QStackedWidget* htmlPane_;
  HtmlEditor* editor_;
  HtmlPreview* PreviewWebbrowser_;
  QListWidget* lbStatus_;
  QPushButton* cmdPreflightTest_;
  QPushButton* cmdClose_;
  QPushButton* cmdCancel_;
};

// Opens the event editor modally over `from` on CurrentAutoresponderEventID(); after a
// save the autoresponder editor it was opened from reloads its events.
void OpenEventDetail(QWidget* from, const ControlContext& context);

}  // namespace ar
