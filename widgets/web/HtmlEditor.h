#pragma once
// The visual HTML editor: a web view whose page is in design mode, a source view of the
// body beside it, and a toolbar of the usual formatting commands. The engine answers
// later; every operation here waits for its answer (without taking user input meanwhile),
// so that the window's logic reads in order.
#include <QWidget>

#include <optional>
#include <string>
#include <utility>
#include <vector>

class QAction;
class QPlainTextEdit;
class QStackedWidget;
class QToolBar;
class QWebEngineView;

namespace ar {

class ContentPage;

// One element of the live document, in document order, with its attributes as written.
struct HtmlElement {
  std::string tagName;  // as the document gives it ("IMG", "A", ...)
  std::string src;
  std::string href;
  std::string name;
  std::string id;  // a bookmark may lead to any element by its id
};

class HtmlEditor : public QWidget {
  Q_OBJECT
 public:
  explicit HtmlEditor(QWidget* parent = nullptr);

  // Takes a whole document (any size); false when it could not be shown. Until a
  // document has been shown, the editor gives no body out, so that an empty editor is
  // never saved over a file.
  bool SetDocument(const std::string& html);
  bool Loaded() const { return loaded_; }

  // The body's inner HTML (in source mode the source text as typed); nothing when no
  // document is loaded or the engine did not answer.
  std::optional<std::string> BodyHtml();

  bool SourceMode() const;
  // Switches between the visual and the source view; leaving the source view applies its
  // text to the document. Reports modeChanged when the mode changes.
  void SetSourceMode(bool source);

  // The elements of the live document (source edits applied first); nothing when no
  // document is loaded or the engine did not answer.
  std::optional<std::vector<HtmlElement>> Elements();
  // The document's text as it reads on the page.
  std::optional<std::string> PlainText();

  // Sets attributes of the body element; an empty value removes the attribute.
  void SetBodyAttributes(const std::vector<std::pair<std::string, std::string>>& attributes);

  // Inserts an image at the cursor (at the end when the document has no cursor yet).
  void InsertImage(const std::string& url);
  // Runs a toolbar command by name ("Bold", "RemoteImage", ...), as its button does.
  void RunCommand(const QString& command);
  void FocusEditor();

  QWebEngineView* View() const { return view_; }

 signals:
  void modeChanged(bool sourceMode);
  // Before a toolbar command runs: a receiver that handles it itself sets *handled, and
  // the editor then does nothing more (no dialog of its own).
  void commandRequested(const QString& command, bool* handled);

 private:
  void BuildToolbar();
  QAction* AddCommand(const char* command, const QString& text, const QString& tip);
  void DefaultCommand(const QString& command);
  void Exec(const QString& command, const QString& value = {});
  // Puts edits of the source view into the document.
  void ApplySource();
  void ShowMode();

  QToolBar* toolbar_;
  QStackedWidget* stack_;
  QWebEngineView* view_;
  ContentPage* page_;
  QPlainTextEdit* source_;
  QAction* sourceAction_ = nullptr;
  bool loaded_ = false;
  bool sourceDirty_ = false;
};

}  // namespace ar
