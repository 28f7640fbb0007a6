// The HTML tab of the event editor: its file, the three views (edit, code, preview), the
// raw-text mode, imports, templates and page properties.
#include "control/window/events/EventHtmlTab.h"

#include "base/Trace.h"
#include "control/events/BodyFileIo.h"
#include "control/events/ExternalEditor.h"
#include "control/events/HtmlBodyFile.h"
#include "control/window/events/EventTextImport.h"
#include "control/window/main/WindowOpeners.h"
#include "store/DataFolder.h"
#include "widgets/DetachedProgram.h"
#include "widgets/MessageBoxes.h"
#include "widgets/web/HtmlEditor.h"
#include "widgets/web/HtmlPreview.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace ar {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QRadioButton* ViewButton(const char* name, const char* text, const char* tip) {
  auto* button = new QRadioButton(text);
  button->setObjectName(name);
  button->setToolTip(tip);
  return button;
}

// The raw text box shows lines ended by LF; the file ends them with CR LF.
std::string RawHtml(const QPlainTextEdit* box) {
  return box->toPlainText().replace("\r\n", "\n").replace("\n", "\r\n").toStdString();
}

}  // namespace

EventHtmlTab::EventHtmlTab(QWidget* parent) : QWidget(parent) {
  setObjectName("tabHTML");
  optPlainText_ = new QCheckBox("Enable Plain Text Only");
  optPlainText_->setObjectName("optPlainText");
  connect(optPlainText_, &QCheckBox::clicked, this, &EventHtmlTab::plainTextOnlyClicked);
  cbDisableWYSIWYG_ = new QCheckBox("Use HTML Only (Disable visual editor)");
  cbDisableWYSIWYG_->setObjectName("cbDisableWYSIWYG");
  connect(cbDisableWYSIWYG_, &QCheckBox::clicked, this, &EventHtmlTab::cbDisableWYSIWYG_Click);
  auto* switches = new QHBoxLayout;
  switches->addWidget(optPlainText_);
  switches->addSpacing(24);
  switches->addWidget(cbDisableWYSIWYG_);
  switches->addStretch();

  optEditView_ = ViewButton("optEditView", "Edit", "Switch to edit view");
  optCodeView_ = ViewButton("optCodeView", "Code", "Switch to code view");
  optPreview_ = ViewButton("optPreview", "Preview", "Switch to preview");
  optEditView_->setChecked(true);
  auto* views = new QButtonGroup(this);
  const std::pair<QRadioButton*, View> viewButtons[] = {
      {optEditView_, View::Edit}, {optCodeView_, View::Code}, {optPreview_, View::Preview}};
  auto* tools = new QHBoxLayout;
  for (const auto& [button, view] : viewButtons) {
    views->addButton(button);
    tools->addWidget(button);
    connect(button, &QRadioButton::toggled, this, [this, view = view](bool on) {
      if (on) SelectView(view);
    });
  }
  tools->addSpacing(16);
  cmdExternalEditor_ = AddButton("cmdExternalEditor", "External Editor", "Allows editing using an external editor",
                                 &EventHtmlTab::cmdExternalEditor_Click);
  tools->addWidget(cmdExternalEditor_);
  tools->addWidget(AddButton("cmdClearHTMLMessage", "Clear", "Clear the message",
                             &EventHtmlTab::cmdClearHTMLMessage_Click));
  tools->addWidget(AddButton("cmdPageProperties", "Page Properties", "Edit page properties for this HTML document",
                             &EventHtmlTab::cmdPageProperties_Click));
  tools->addWidget(AddButton("cmdImportHTML", "Import...", "Browse to file to import into message body",
                             &EventHtmlTab::cmdImportHTML_Click));
  tools->addWidget(AddButton("cmdTemplates", "Templates", "Opens message template folder",
                             &EventHtmlTab::cmdTemplates_Click));
  cmdRefreshPreview_ = AddButton("cmdRefreshPreview", "Refresh", "Refresh the html preview below",
                                 &EventHtmlTab::cmdRefreshPreview_Click);
  tools->addWidget(cmdRefreshPreview_);
  tools->addStretch();

  editor_ = new HtmlEditor;
  editor_->setObjectName("HTMLEditor");
  connect(editor_, &HtmlEditor::modeChanged, this, &EventHtmlTab::EditorModeChanged);
  connect(editor_, &HtmlEditor::commandRequested, this, &EventHtmlTab::EditorCommand);
  txtHTML_ = new QPlainTextEdit;
  txtHTML_->setObjectName("txtHTML");
  connect(txtHTML_, &QPlainTextEdit::textChanged, this, [this] { editorHasHtmlText_ = false; });
  PreviewWebbrowser_ = new HtmlPreview;
  PreviewWebbrowser_->setObjectName("PreviewWebbrowser");
  htmlPane_ = new QStackedWidget;
  htmlPane_->setObjectName("htmlPane");
  htmlPane_->addWidget(editor_);
  htmlPane_->addWidget(txtHTML_);
  htmlPane_->addWidget(PreviewWebbrowser_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(switches);
  layout->addLayout(tools);
  layout->addWidget(htmlPane_, 1);
}

QPushButton* EventHtmlTab::AddButton(const char* name, const char* text, const char* tip,
                                     void (EventHtmlTab::*click)()) {
  auto* button = new QPushButton(text);
  button->setObjectName(name);
  if (*tip) button->setToolTip(tip);
  button->setAutoDefault(false);
  connect(button, &QPushButton::clicked, this, [this, click] { (this->*click)(); });
  return button;
}

void EventHtmlTab::Trap(const char* procedure, const std::string& error) {
  // Logged under the event editor, whose tab this is; the box below still tells the operator.
  TraceLogNoThrow(std::string("frmEventDetail:") + procedure + ": " + error, true);
  MessageBoxes::Show(Owner(), "Error: " + error, "", MessageIcon::Critical);
}

// ---- The body and its file

bool EventHtmlTab::PlainTextOnly() const { return optPlainText_->isChecked(); }
void EventHtmlTab::SetPlainTextOnly(bool on) { optPlainText_->setChecked(on); }
bool EventHtmlTab::HtmlOnly() const { return cbDisableWYSIWYG_->isChecked(); }

void EventHtmlTab::SetHtmlOnly(bool on) {
  cbDisableWYSIWYG_->setChecked(on);
  cbDisableWYSIWYG_Click();
}

std::vector<PreflightElement> EventHtmlTab::PreflightElements() {
  SyncEditorFromHtmlText();
  // The check works on the document as it stands now; later edits cannot reach it.
  std::vector<PreflightElement> elements;
  if (std::optional<std::vector<HtmlElement>> live = editor_->Elements())
    for (const HtmlElement& e : *live) elements.push_back({e.tagName, e.src, e.href, e.name, e.id});
  return elements;
}

std::optional<std::string> EventHtmlTab::PlainText() {
  SyncEditorFromHtmlText();
  return editor_->PlainText();
}

void EventHtmlTab::SetHtmlDocument(const std::string& html) {
  txtHTML_->setPlainText(Q(html).replace("\r\n", "\n"));
  editor_->SetDocument(html);
  properties_ = ReadPageProperties(html);
  editorHasHtmlText_ = true;
  bodyReadable_ = true;
  bodyProblem_.clear();
}

void EventHtmlTab::ClearHTMLMessage() { SetHtmlDocument(""); }

void EventHtmlTab::LoadMessage() {
  bodyStamp_ = htmlMessagePath_.empty() ? std::nullopt : StampOf(htmlMessagePath_);
  if (htmlMessagePath_.empty() || !FileExists(htmlMessagePath_)) {
    ClearHTMLMessage();
  } else {
    try {
      SetHtmlDocument(ReadTextLines(htmlMessagePath_));
    } catch (const std::exception& e) {
      // An empty editor in its place is never written over the file (see PlanBodyWrite).
      ClearHTMLMessage();
      bodyReadable_ = false;
      bodyProblem_ = e.what();
      Trap("LoadMessage", e.what());
    }
  }
  bodyBaseline_ = bodyReadable_ ? ComposeBodyFile() : std::nullopt;
}

void EventHtmlTab::ApplyPageProperties() {
  editor_->SetBodyAttributes({{"bgcolor", properties_.backgroundColor},
                              {"background", properties_.background},
                              {"link", properties_.link},
                              {"alink", properties_.alink},
                              {"vlink", properties_.vlink}});
}

std::optional<std::string> EventHtmlTab::ComposeBodyFile() {
  if (HtmlOnly()) return HtmlOnlyBodyFile(RawHtml(txtHTML_));
  const std::optional<std::string> body = editor_->BodyHtml();
  if (!body) return std::nullopt;
  return BuildHtmlBodyFile(properties_, *body);
}

void EventHtmlTab::WriteBodyFile(const std::string& text) {
  if (htmlMessagePath_.empty()) throw std::runtime_error("there is no HTML message file to write the message to");
  ReplaceFileText(htmlMessagePath_, text);
  bodyStamp_ = StampOf(htmlMessagePath_);
  bodyBaseline_ = text;
}

bool EventHtmlTab::BodyFileUnchangedOnDisk() {
  if (htmlMessagePath_.empty() || StampOf(htmlMessagePath_) == bodyStamp_) return true;
  const Answer answer = MessageBoxes::Ask(
      Owner(),
      "The HTML message file " + htmlMessagePath_ +
          " has been changed by another program since it was loaded.  Do you want to load it again?  (No keeps the "
          "message shown here and writes it over the file.)",
      "HTML Message File Changed", MessageIcon::Exclamation, Buttons::YesNoCancel);
  if (answer == Answer::No) return true;
  if (answer == Answer::Yes) {
    LoadMessage();
    ApplyPageProperties();
  }
  return false;
}

EventHtmlTab::BodyPlan EventHtmlTab::PlanBodyWrite(std::string& text, bool askWhenUnreadable) {
  if (!bodyReadable_ || (!HtmlOnly() && !editor_->Loaded())) {
    if (!askWhenUnreadable) return BodyPlan::Skip;
    const std::string problem = bodyReadable_ ? "the editor could not show it" : bodyProblem_;
    return MessageBoxes::Ask(Owner(),
                             "Error: The HTML message could not be loaded (" + problem + "), so it is not saved over " +
                                 htmlMessagePath_ + ".  Do you want to save the other settings of the event?",
                             "Error", MessageIcon::Exclamation, Buttons::YesNo) == Answer::Yes
               ? BodyPlan::Skip
               : BodyPlan::Stop;
  }
  const std::optional<std::string> composed = ComposeBodyFile();
  if (!composed) {
    MessageBoxes::Show(Owner(), "Error: The HTML message could not be read from the editor; nothing was saved.", "Error",
                       MessageIcon::Critical);
    return BodyPlan::Stop;
  }
  if (!BodyFileUnchangedOnDisk()) return BodyPlan::Stop;
  if (operatorsFile_) {
    // The operator's own file: written only when the message changed, and only on request.
    if (composed == bodyBaseline_) return BodyPlan::Skip;
    if (htmlMessagePath_.empty()) {
      MessageBoxes::Show(Owner(),
                         "Error: Enter the HTML Message File to keep the HTML message in, or uncheck \"Use Files For "
                         "Message Bodies\".",
                         "Error", MessageIcon::Critical);
      return BodyPlan::Stop;
    }
    const Answer answer =
        MessageBoxes::Ask(Owner(), "Do you want to overwrite " + htmlMessagePath_ + " with the HTML message shown here?",
                          "Overwrite HTML Message File", MessageIcon::Question, Buttons::YesNoCancel);
    if (answer == Answer::Cancel) return BodyPlan::Stop;
    if (answer == Answer::No) return BodyPlan::Skip;
  }
  text = *composed;
  return BodyPlan::Write;
}

void EventHtmlTab::SyncEditorFromHtmlText() {
  if (!HtmlOnly() || editorHasHtmlText_) return;
  const std::string html = RawHtml(txtHTML_);
  editor_->SetDocument(html);
  properties_ = ReadPageProperties(html);
  editorHasHtmlText_ = true;
  ApplyPageProperties();
}

bool EventHtmlTab::RefusedInPreview(const char* message) {
  if (view_ != View::Preview) return false;
  MessageBoxes::Show(Owner(), message, "", MessageIcon::None);
  return true;
}

// ---- Views and switches

void EventHtmlTab::SelectView(View view) {
  if (SyncingViews_) return;
  const View previous = view_;
  if (view == View::Preview) {
    if (!ShowPreview()) {
      // Back to where the operator was.
      SyncingViews_ = true;
      (previous == View::Code ? optCodeView_ : optEditView_)->setChecked(true);
      SyncingViews_ = false;
    }
    return;
  }
  view_ = view;
  editor_->SetSourceMode(view == View::Code);
  ShowHtmlPane();
  if (HtmlOnly()) txtHTML_->setFocus();
  else editor_->FocusEditor();
}

void EventHtmlTab::ShowHtmlPane() {
  if (view_ == View::Preview) htmlPane_->setCurrentWidget(PreviewWebbrowser_);
  else if (HtmlOnly()) htmlPane_->setCurrentWidget(txtHTML_);
  else htmlPane_->setCurrentWidget(editor_);
}

bool EventHtmlTab::ShowPreview() {
  if (operatorsFile_) {
    // The operator's own file is written only by Save: the preview shows the message from memory.
    const std::optional<std::string> composed = ComposeBodyFile();
    if (!composed) {
      MessageBoxes::Show(Owner(), "Error: The HTML message could not be read from the editor.", "Error",
                         MessageIcon::Critical);
      return false;
    }
    PreviewWebbrowser_->ShowDocument(*composed);
  } else {
    std::string text;
    const BodyPlan plan = PlanBodyWrite(text, false);
    if (plan == BodyPlan::Stop) return false;
    if (plan == BodyPlan::Write) {
      try {
        WriteBodyFile(text);
      } catch (const std::exception& e) {
        MessageBoxes::Show(Owner(), std::string("Error: ") + e.what(), "Error", MessageIcon::Critical);
        return false;
      }
    }
    PreviewWebbrowser_->ShowFile(htmlMessagePath_);
  }
  view_ = View::Preview;
  ShowHtmlPane();
  return true;
}

void EventHtmlTab::EditorModeChanged(bool sourceMode) {
  SyncingViews_ = true;
  (sourceMode ? optCodeView_ : optEditView_)->setChecked(true);
  view_ = sourceMode ? View::Code : View::Edit;
  SyncingViews_ = false;
  ShowHtmlPane();
}

void EventHtmlTab::cbDisableWYSIWYG_Click() {
  const bool htmlOnly = HtmlOnly();
  optCodeView_->setVisible(!htmlOnly);
  optPlainText_->setVisible(!htmlOnly);
  if (eventLoaded_) {
    if (htmlOnly) {
      // The visual editor's document becomes the raw text, code edits included.
      editor_->SetSourceMode(false);
      if (bodyReadable_ && editor_->Loaded()) {
        if (const std::optional<std::string> body = editor_->BodyHtml()) {
          std::string html = BuildHtmlBodyFile(properties_, *body);
          html.resize(html.size() - 2);  // the CR LF that ends the file
          txtHTML_->setPlainText(Q(html).replace("\r\n", "\n"));
          editorHasHtmlText_ = true;
        }
      }
    } else {
      SyncEditorFromHtmlText();
    }
  }
  ShowHtmlPane();
}

void EventHtmlTab::UseBodyFile(const std::string& path, bool operatorsFile) {
  eventLoaded_ = true;
  htmlMessagePath_ = path;
  operatorsFile_ = operatorsFile;
  LoadMessage();
  if (view_ == View::Preview) ShowPreview();
}

void EventHtmlTab::ApplyPlainTextOnly() {
  const bool plainOnly = optPlainText_->isChecked();
  cmdExternalEditor_->setVisible(!plainOnly);
  cmdRefreshPreview_->setVisible(!plainOnly);
}

// ---- Buttons of the HTML tab

void EventHtmlTab::cmdExternalEditor_Click() {
  if (htmlMessagePath_.empty()) {
    MessageBoxes::Show(Owner(), "Error: There is no HTML Message File to edit", "Error", MessageIcon::Critical);
    return;
  }
  MessageBoxes::Show(Owner(), "You will need to refresh the preview window when you return from the external editor",
                     "Refresh Required", MessageIcon::Information);
  std::string text;
  const BodyPlan plan = PlanBodyWrite(text, false);
  if (plan == BodyPlan::Stop) return;
  if (plan == BodyPlan::Write) {
    try {
      WriteBodyFile(text);
    } catch (const std::exception& e) {
      MessageBoxes::Show(Owner(), std::string("Error: ") + e.what(), "Error", MessageIcon::Critical);
      return;
    }
  }
  if (!DetachedProgram::Start(ExternalEditorCommand(htmlMessagePath_)))
    MessageBoxes::Show(Owner(), "Error: The external editor could not be started", "Error", MessageIcon::Critical);
}

void EventHtmlTab::cmdClearHTMLMessage_Click() {
  if (RefusedInPreview("You must in Edit or Code View to clear the HTML message")) return;
  if (MessageBoxes::Ask(Owner(), "You are sure you want to clear the message?", "Warning", MessageIcon::Question,
                        Buttons::YesNo) != Answer::Yes)
    return;
  ClearHTMLMessage();
  ApplyPageProperties();
  if (txtHTML_->isVisible()) txtHTML_->setFocus();
  if (editor_->isVisible()) editor_->FocusEditor();
}

void EventHtmlTab::cmdPageProperties_Click() {
  if (RefusedInPreview("You must in Edit or Code View to change page properties")) return;
  if (HtmlOnly()) {
    // The raw text is written as it stands: properties changed here could not reach the file.
    MessageBoxes::Show(Owner(),
                       "While \"Use HTML Only\" is checked, the page properties and the HEAD are part of the HTML "
                       "text: change them there, or uncheck \"Use HTML Only\" to use this window.",
                       "Page Properties", MessageIcon::Information);
    return;
  }
  if (Openers().pageProperties) {
    PageProperties edited = properties_;
    if (Openers().pageProperties(Owner(), edited)) properties_ = edited;
  }
  ApplyPageProperties();
}

void EventHtmlTab::cmdImportHTML_Click() {
  if (RefusedInPreview("You must in Edit or Code View to import html")) return;
  const std::optional<std::string> text =
      ImportTextFile(Owner(), "HTMLEditorImport", "HTML (*.html,*.htm)|*.htm;*.html|Text (*.txt)|*.txt|All|*.*||",
                 "There is a problem with your HTML code.  Please check your source document for errors.",
                 "cmdImportHTML_Click");
  if (!text) return;
  // The head and the body tag's properties come with the imported page, as with a template.
  SetHtmlDocument(*text);
  ApplyPageProperties();
}

void EventHtmlTab::cmdTemplates_Click() {
  if (RefusedInPreview("You must in Edit or Code View to include a template")) return;
  if (!Openers().chooseTemplate) return;
  const std::optional<std::string> text = Openers().chooseTemplate(Owner());
  if (!text) return;
  SetHtmlDocument(*text);
  ApplyPageProperties();
}

void EventHtmlTab::cmdRefreshPreview_Click() {
  LoadMessage();
  ApplyPageProperties();
  if (view_ == View::Preview) ShowPreview();
}

void EventHtmlTab::EditorCommand(const QString& command, bool* handled) {
  if (command != "RemoteImage") return;
  *handled = true;
  const std::optional<std::string> url =
      MessageBoxes::Input(Owner(), "Enter the url of the image", "Insert Image From URL", "http://");
  if (url && !url->empty()) editor_->InsertImage(*url);
}

}  // namespace ar
