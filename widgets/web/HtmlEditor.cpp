#include "widgets/web/HtmlEditor.h"

#include "widgets/FileDialogs.h"
#include "widgets/MessageBoxes.h"
#include "widgets/web/ContentPage.h"
#include "widgets/web/WebEngineSetUp.h"

#include <QAction>
#include <QFont>
#include <QIcon>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTextCursor>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineView>

namespace ar {
namespace {

// Gives the document a cursor at the end of its body when it has none inside the body,
// so that a command or an insertion always lands somewhere.
constexpr const char* kEnsureCaret =
    "(function(){var s=window.getSelection();var b=document.body;"
    "if(!b){b=document.createElement('body');document.documentElement.appendChild(b);}"
    "if(!s.rangeCount||!b.contains(s.anchorNode)){var r=document.createRange();"
    "r.selectNodeContents(b);r.collapse(false);s.removeAllRanges();s.addRange(r);}})();";

struct ToolbarCommand {
  const char* command;
  const char* text;
  const char* tip;
  const char* icon;  // name in the desktop's icon theme; the text shows without one
};

const ToolbarCommand kCommands[] = {
    {"Bold", "B", "Bold", "format-text-bold"},
    {"Italic", "I", "Italic", "format-text-italic"},
    {"Underline", "U", "Underline", "format-text-underline"},
    {"InsertOrderedList", "1.", "Numbered list", "format-list-ordered"},
    {"InsertUnorderedList", "\u2022", "Bulleted list", "format-list-unordered"},
    {"JustifyLeft", "Left", "Align left", "format-justify-left"},
    {"JustifyCenter", "Center", "Center", "format-justify-center"},
    {"JustifyRight", "Right", "Align right", "format-justify-right"},
    {"ForeColor", "Colour", "Text colour", "format-text-color"},
    {"BackColor", "Highlight", "Highlight colour", "format-fill-color"},
    {"CreateLink", "Link", "Insert a hyperlink", "insert-link"},
    {"Image", "Image", "Insert an image from a file", "insert-image"},
    {"RemoteImage", "Web Image", "Insert an image from a web address", ""},
};

std::string S(const QVariant& v) { return v.toString().toStdString(); }

}  // namespace

HtmlEditor::HtmlEditor(QWidget* parent) : QWidget(parent) {
  PrepareWebEngine();
  toolbar_ = new QToolBar(this);
  toolbar_->setObjectName("HtmlEditorToolbar");
  toolbar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  view_ = new QWebEngineView;
  view_->setObjectName("HtmlEditorView");
  page_ = new ContentPage(view_);
  view_->setPage(page_);
  view_->setContextMenuPolicy(Qt::NoContextMenu);
  source_ = new QPlainTextEdit;
  source_->setObjectName("HtmlEditorSource");
  source_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  QFont mono("monospace");
  mono.setStyleHint(QFont::Monospace);
  source_->setFont(mono);
  connect(source_, &QPlainTextEdit::textChanged, this, [this] { sourceDirty_ = true; });
  stack_ = new QStackedWidget;
  stack_->addWidget(view_);
  stack_->addWidget(source_);
  BuildToolbar();

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(toolbar_);
  layout->addWidget(stack_, 1);
  setFocusProxy(view_);
}

void HtmlEditor::BuildToolbar() {
  for (const ToolbarCommand& c : kCommands) {
    QAction* action = AddCommand(c.command, QString::fromUtf8(c.text), c.tip);
    if (*c.icon && QIcon::hasThemeIcon(c.icon)) action->setIcon(QIcon::fromTheme(c.icon));
    // Without an icon theme the letters show what they do.
    QFont face = action->font();
    face.setBold(c.command == std::string("Bold"));
    face.setItalic(c.command == std::string("Italic"));
    face.setUnderline(c.command == std::string("Underline"));
    action->setFont(face);
    if (c.command == std::string("InsertOrderedList") || c.command == std::string("JustifyLeft") ||
        c.command == std::string("ForeColor") || c.command == std::string("CreateLink"))
      toolbar_->insertSeparator(action);
  }
  toolbar_->addSeparator();
  sourceAction_ = AddCommand("Source", "Source", "Show the HTML source of the message");
  sourceAction_->setCheckable(true);
}

QAction* HtmlEditor::AddCommand(const char* command, const QString& text, const QString& tip) {
  QAction* action = toolbar_->addAction(text);
  action->setObjectName(QString("cmd") + command);
  action->setToolTip(tip);
  const QString name = command;
  // The source button's own check mark follows the mode, not the click.
  connect(action, &QAction::triggered, this, [this, name] { RunCommand(name); });
  return action;
}

void HtmlEditor::RunCommand(const QString& command) {
  bool handled = false;
  emit commandRequested(command, &handled);
  if (!handled) DefaultCommand(command);
  ShowMode();
}

void HtmlEditor::DefaultCommand(const QString& command) {
  if (command == "Source") {
    SetSourceMode(!SourceMode());
    return;
  }
  if (command == "Image") {
    const std::optional<std::string> file = FileDialogs::OpenFile(
        this, "Insert Image", "Images|*.gif;*.jpg;*.jpeg;*.png|All|*.*||", "HtmlEditorImage");
    if (file && !file->empty()) InsertImage(QUrl::fromLocalFile(QString::fromStdString(*file)).toString().toStdString());
    return;
  }
  if (command == "RemoteImage") {
    const std::optional<std::string> url =
        MessageBoxes::Input(this, "Enter the url of the image", "Insert Image From URL", "http://");
    if (url && !url->empty()) InsertImage(*url);
    return;
  }
  if (SourceMode()) return;
  if (command == "CreateLink") {
    const std::optional<std::string> url =
        MessageBoxes::Input(this, "Enter the address of the link", "Insert Link", "http://");
    if (url && !url->empty()) Exec("createLink", QString::fromStdString(*url));
    return;
  }
  if (command == "ForeColor" || command == "BackColor") {
    const std::optional<std::string> colour = FileDialogs::ChooseColour(this, "#000000");
    if (colour) Exec(command == "ForeColor" ? "foreColor" : "hiliteColor", QString::fromStdString(*colour));
    return;
  }
  Exec(command);
}

void HtmlEditor::Exec(const QString& command, const QString& value) {
  if (!loaded_) return;
  page_->Run(QString(kEnsureCaret) + "document.execCommand(" + ScriptString(command) + ",false," +
             ScriptString(value) + ");");
  view_->setFocus();
}

bool HtmlEditor::SetDocument(const std::string& html) {
  loaded_ = page_->ShowDocument(QByteArray::fromStdString(html));
  // The document is the operator's to change, never to run.
  if (loaded_) loaded_ = page_->Run("document.designMode='on';").has_value();
  if (SourceMode()) {
    const std::optional<QVariant> body = loaded_ ? page_->Run("document.body?document.body.innerHTML:''") : std::nullopt;
    source_->setPlainText(body ? body->toString() : QString());
    sourceDirty_ = false;
  }
  return loaded_;
}

std::optional<std::string> HtmlEditor::BodyHtml() {
  if (!loaded_) return std::nullopt;
  if (SourceMode()) return source_->toPlainText().toStdString();
  const std::optional<QVariant> body = page_->Run("document.body?document.body.innerHTML:''");
  if (!body) return std::nullopt;
  return S(*body);
}

bool HtmlEditor::SourceMode() const { return stack_->currentWidget() == source_; }

void HtmlEditor::SetSourceMode(bool source) {
  if (source == SourceMode()) return;
  if (source) {
    const std::optional<std::string> body = BodyHtml();
    source_->setPlainText(QString::fromStdString(body.value_or("")));
    sourceDirty_ = false;
    stack_->setCurrentWidget(source_);
  } else {
    ApplySource();
    stack_->setCurrentWidget(view_);
  }
  ShowMode();
  emit modeChanged(source);
}

void HtmlEditor::ShowMode() {
  const bool source = SourceMode();
  sourceAction_->setChecked(source);
  for (QAction* action : toolbar_->actions()) {
    const QString name = action->objectName();
    if (action != sourceAction_ && name != "cmdImage" && name != "cmdRemoteImage") action->setEnabled(!source);
  }
}

void HtmlEditor::ApplySource() {
  if (!SourceMode() || !sourceDirty_ || !loaded_) return;
  const std::optional<QVariant> applied = page_->Run(
      "(function(h){var b=document.body;if(!b){b=document.createElement('body');"
      "document.documentElement.appendChild(b);}b.innerHTML=h;return true;})(" +
      ScriptString(source_->toPlainText()) + ")");
  if (applied) sourceDirty_ = false;
}

std::optional<std::vector<HtmlElement>> HtmlEditor::Elements() {
  if (!loaded_) return std::nullopt;
  ApplySource();
  const std::optional<QVariant> list = page_->Run(
      "(function(){var r=[];var all=document.getElementsByTagName('*');for(var i=0;i<all.length;i++){"
      "var e=all[i];r.push([e.tagName,e.getAttribute('src')||'',e.getAttribute('href')||'',"
      "e.getAttribute('name')||'',e.getAttribute('id')||'']);}return r;})()");
  if (!list) return std::nullopt;
  std::vector<HtmlElement> elements;
  for (const QVariant& entry : list->toList()) {
    const QVariantList fields = entry.toList();
    if (fields.size() != 5) continue;
    elements.push_back({S(fields[0]), S(fields[1]), S(fields[2]), S(fields[3]), S(fields[4])});
  }
  return elements;
}

std::optional<std::string> HtmlEditor::PlainText() {
  if (!loaded_) return std::nullopt;
  ApplySource();
  const std::optional<QVariant> text = page_->Run("document.body?document.body.innerText:''");
  if (!text) return std::nullopt;
  return S(*text);
}

void HtmlEditor::SetBodyAttributes(const std::vector<std::pair<std::string, std::string>>& attributes) {
  if (!loaded_) return;
  ApplySource();
  QString script =
      "(function(){var b=document.body;if(!b){b=document.createElement('body');"
      "document.documentElement.appendChild(b);}function set(n,v){if(v)b.setAttribute(n,v);"
      "else b.removeAttribute(n);}";
  for (const auto& [name, value] : attributes)
    script += "set(" + ScriptString(QString::fromStdString(name)) + "," + ScriptString(QString::fromStdString(value)) +
              ");";
  page_->Run(script + "})();");
}

void HtmlEditor::InsertImage(const std::string& url) {
  if (SourceMode()) {
    const QString src = QString::fromStdString(url).toHtmlEscaped();
    source_->textCursor().insertText("<img src=\"" + src + "\">");
    source_->setFocus();
    return;
  }
  Exec("insertImage", QString::fromStdString(url));
}

void HtmlEditor::FocusEditor() {
  if (SourceMode()) source_->setFocus();
  else view_->setFocus();
}

}  // namespace ar
