#pragma once
// The event editor's HTML tab: the body file and what it was read as, the visual editor,
// the code view, the raw text of "Use HTML Only", the preview, and the tab's buttons
// (external editor, refresh, page properties, import, templates, clear). The event
// editor tells it which file holds the body and asks it for the file at Save.
#include "control/events/BodyFileIo.h"
#include "control/events/PageProperties.h"
#include "control/events/Preflight.h"

#include <QWidget>

#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace ar {

class HtmlEditor;
class HtmlPreview;

class EventHtmlTab : public QWidget {
  Q_OBJECT
 public:
  explicit EventHtmlTab(QWidget* parent = nullptr);

  // Where the HTML body is read from and written to.
  const std::string& HTMLMessagePath() const { return htmlMessagePath_; }
  // The head and page properties the body file is rebuilt from.
  const PageProperties& Properties() const { return properties_; }
  HtmlEditor* Editor() const { return editor_; }
  HtmlPreview* Preview() const { return PreviewWebbrowser_; }

  // "Enable Plain Text Only" and "Use HTML Only (Disable visual editor)", as the event
  // row keeps them.
  bool PlainTextOnly() const;
  void SetPlainTextOnly(bool on);
  bool HtmlOnly() const;
  // Sets "Use HTML Only" and switches the panes as a click on it does.
  void SetHtmlOnly(bool on);
  // Shows or hides the buttons that have no use for a plain-text-only event.
  void ApplyPlainTextOnly();

  // The body now lives in `path`: the operator's own file when `operatorsFile` ("Use Files
  // For Message Bodies"), else the event's content file. Reads it (an unreadable file
  // is noted and never written over) and refreshes an open preview. The first call
  // marks the event as loaded: from then on "Use HTML Only" carries the document across.
  void UseBodyFile(const std::string& path, bool operatorsFile);
  // Puts the page properties on the visual editor's body tag.
  void ApplyPageProperties();

  // What an operation that writes the body file (save, preview, external editor) does
  // with it: leave the file as it is, write `text`, or stop. Asks before writing over the
  // operator's own file or over one changed by another program; a body that could not be
  // loaded is never written (the save asks whether to go on without it).
  enum class BodyPlan { Skip, Write, Stop };
  BodyPlan PlanBodyWrite(std::string& text, bool askWhenUnreadable);
  // Writes the body file and notes its new state; throws with the reason.
  void WriteBodyFile(const std::string& text);

  // The elements of the document as it stands now, for the preflight check.
  std::vector<PreflightElement> PreflightElements();
  // The document's text as it reads on the page; nothing when the editor did not answer.
  std::optional<std::string> PlainText();

 signals:
  // The operator clicked "Enable Plain Text Only".
  void plainTextOnlyClicked();

 private:
  enum class View { Edit, Code, Preview };

  QPushButton* AddButton(const char* name, const char* text, const char* tip, void (EventHtmlTab::*click)());
  // Message boxes and dialogs open over the event editor.
  QWidget* Owner() { return window(); }
  void Trap(const char* procedure, const std::string& error);

  // The body
  void LoadMessage();
  void ClearHTMLMessage();
  // Gives the editor and the raw text the document, and reads its head and page
  // properties (a load, an import, a template).
  void SetHtmlDocument(const std::string& html);
  // The body file as it would be written now; nothing when the editor did not answer.
  std::optional<std::string> ComposeBodyFile();
  // False (after offering to load it again) when another program changed the body file
  // since it was loaded and the operator chose not to write over it.
  bool BodyFileUnchangedOnDisk();
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

  // Buttons
  void cmdExternalEditor_Click();
  void cmdClearHTMLMessage_Click();
  void cmdPageProperties_Click();
  void cmdImportHTML_Click();
  void cmdTemplates_Click();
  void cmdRefreshPreview_Click();
  void EditorCommand(const QString& command, bool* handled);

  bool eventLoaded_ = false;
  bool SyncingViews_ = false;
  View view_ = View::Edit;

  std::string htmlMessagePath_;
  bool operatorsFile_ = false;
  PageProperties properties_;
  // Whether the body could be read from its file (when not, it is never written over it)
  // and why not; the file's stamp when it was read or last written; the body file as it
  // would have been written right after loading (to tell an operator's file was changed).
  bool bodyReadable_ = true;
  std::string bodyProblem_;
  std::optional<FileStamp> bodyStamp_;
  std::optional<std::string> bodyBaseline_;
  bool editorHasHtmlText_ = true;

  QCheckBox* optPlainText_;
  QCheckBox* cbDisableWYSIWYG_;
  QPlainTextEdit* txtHTML_;
  QRadioButton* optEditView_;
  QRadioButton* optCodeView_;
  QRadioButton* optPreview_;
  QPushButton* cmdExternalEditor_;
  QPushButton* cmdRefreshPreview_;
  QStackedWidget* htmlPane_;
  HtmlEditor* editor_;
  HtmlPreview* PreviewWebbrowser_;
};

}  // namespace ar
