// The event editor driven by object name on the offscreen platform with the real web
// engine, over a data folder made from the schema; boxes, dialogs, waits, the windows it
// opens and the programs it starts are answered and recorded.
#include "control/events/Events.h"
#include "control/window/autoresponder/frmProjectDetail.h"
#include "control/window/events/frmEventDetail.h"
#include "control/window/main/WindowOpeners.h"
#include "store/DataFolder.h"
#include "tests/control/window/WebEngineTest.h"
#include "tests/support/NamedChild.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestData.h"
#include "widgets/DetachedProgram.h"
#include "widgets/web/HtmlEditor.h"
#include "widgets/web/HtmlPreview.h"

#include <algorithm>
#include <QAbstractItemModel>
#include <QCheckBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace ar {
namespace {

constexpr const char* kLinkOnlyFile =
    "<HEAD>\r\n<title>Welcome</title>\r\n</HEAD>\r\n<BODY link=\"#FF0000\">\r\n<p>Hi</p></BODY>\r\n";

class EventDetailWindow : public test::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    test::WebEngineApplication();
    SetTraceFile(db.Folder() + "/debug/trace.log");
    DetachedProgram::RecordForTests();
    id = db.AddAutoresponder("Course", true);
    MakeFolders(db.Folder() + "/content");
  }
  void TearDown() override {
    windows.clear();
    DetachedProgram::StartForReal();
    WindowTest::TearDown();
  }
  ControlContext Context(const std::string& dataFolder = "") {
    return ControlContext{db.Config(), db.Subscribers(), dataFolder.empty() ? db.Folder() : dataFolder,
                          programFolder.Path()};
  }
  int64_t AddEvent(const std::string& name, int interval, bool active = true, bool useFiles = false,
                   const std::string& htmlFile = "") {
    return test::InsertEvent(db.Config(), id,
                             {{"EventName", name}, {"EventInterval", interval}, {"Active", active}, {"Subject", "Hello"},
                              {"FromAddress", "news@example.com"}, {"FromName", "Course Team"},
                              {"ReplyToAddress", "reply@example.com"}, {"AttachmentFileName", ""},
                              {"PlainTextOnly", false}, {"UseFilesForMessageBodies", useFiles},
                              {"HTMLMessageFile", htmlFile}, {"PlainTextMessageFile", ""},
                              {"PlainTextMessage", "Hello\r\nThere\r\n"}, {"DisableWYSIWYG", false}});
  }
  std::string ContentFile(int64_t eventId) { return EventContentFilePath(db.Folder(), eventId); }
  frmEventDetail& Open(int64_t eventId, const std::string& dataFolder = "") {
    CurrentAutoresponderEventID() = eventId;
    windows.push_back(std::make_unique<frmEventDetail>(Context(dataFolder)));
    windows.back()->show();
    MessageBoxes::ClearShown();
    return *windows.back();
  }
  RowSet Row(int64_t eventId) {
    return db.Config().Query("select * from tblAutoresponderEvents where AutoresponderEventID=?", {eventId});
  }
  template <typename T>
  static T* Find(QWidget& w, const char* name) {
    return test::NamedChild<T>(&w, name);
  }
  static QLineEdit* Box(QWidget& w, const char* name) { return Find<QLineEdit>(w, name); }
  static QPlainTextEdit* TextArea(QWidget& w, const char* name) { return Find<QPlainTextEdit>(w, name); }
  static void Click(QWidget& w, const char* name) { Find<QAbstractButton>(w, name)->click(); }
  static std::string Body(frmEventDetail& w) { return w.Editor()->BodyHtml().value_or("(none)"); }
  static void LeaveField(QLineEdit* box) {
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(box, &out);
  }
  std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (const ShownMessage& m : Boxes()) texts.push_back(m.text);
    return texts;
  }

  std::vector<std::unique_ptr<frmEventDetail>> windows;
  test::TempFolder programFolder;
  test::TempFolder operatorFolder;
  int64_t id = 0;
};

// Runs the steps on the event editor once its modal loop is up, then makes sure it is gone.
// The timer goes with the test, so that it cannot drive a later test's window.
void WhenEventEditorOpens(QObject* owner, std::function<void(frmEventDetail&)> steps) {
  auto* timer = new QTimer(owner);
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, steps] {
    auto* window = qobject_cast<frmEventDetail*>(QApplication::activeModalWidget());
    if (!window || !window->isVisible()) return;
    timer->stop();
    steps(*window);
    if (window->isVisible()) {
      ADD_FAILURE() << "the event editor was left open";
      window->reject();
    }
  });
  timer->start();
}

TEST_F(EventDetailWindow, LoadsEveryFieldAndSavesTheRowAndTheBodyFile) {
  const int64_t eventId = AddEvent("Welcome", 0, false);
  AddEvent("Also at once", 0);
  test::WriteWholeFile(ContentFile(eventId), kLinkOnlyFile);
  CurrentAutoresponderID() = id;
  frmProjectDetail project(Context());
  CurrentAutoresponderEventID() = eventId;

  WhenEventEditorOpens(&project, [&](frmEventDetail& w) {
    EXPECT_EQ(w.windowTitle(), "Event Detail - Welcome");
    EXPECT_EQ(Box(w, "txtEventName")->text(), "Welcome");
    EXPECT_EQ(Box(w, "txtFrom")->text(), "news@example.com");
    EXPECT_EQ(Box(w, "txtFromName")->text(), "Course Team");
    EXPECT_EQ(Box(w, "txtReplyTo")->text(), "reply@example.com");
    EXPECT_EQ(Box(w, "txtSubject")->text(), "Hello");
    EXPECT_EQ(Box(w, "txtEventInterval")->text(), "0");
    EXPECT_EQ(TextArea(w, "txtPlainText")->toPlainText(), "Hello\nThere\n");
    EXPECT_FALSE(Find<QCheckBox>(w, "cbActive")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>(w, "optPlainText")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>(w, "cbUseFilesForMessageBodies")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>(w, "cbDisableWYSIWYG")->isChecked());
    EXPECT_TRUE(Box(w, "txtHTMLMessageFile")->isHidden());
    EXPECT_EQ(Find<QPushButton>(w, "cmdTemplates")->toolTip(), "Opens message template folder");
    EXPECT_EQ(w.HTMLMessagePath(), ContentFile(eventId));
    EXPECT_EQ(w.Properties().head, "<title>Welcome</title>");
    EXPECT_EQ(w.Properties().link, "#FF0000");
    EXPECT_EQ(w.Properties().backgroundColor, "");
    EXPECT_NE(Body(w).find("<p>Hi</p>"), std::string::npos);

    Box(w, "txtEventName")->setText("Welcome aboard");
    Box(w, "txtSubject")->setText("Welcome, Ann");
    TextArea(w, "txtPlainText")->setPlainText("New line one\nNew line two");
    // Each field goes to its own column.
    Box(w, "txtFrom")->setText("courses@example.com");
    Box(w, "txtFromName")->setText("The Course");
    Box(w, "txtReplyTo")->setText("answers@example.com");
    Box(w, "txtAttachment")->setText("/srv/files/welcome.pdf");
    Find<QCheckBox>(w, "optPlainText")->setChecked(true);
    MessageBoxes::QueueAnswer(Answer::Yes);  // make it active
    QSignalSpy saved(&w, &frmEventDetail::eventSaved);
    Click(w, "cmdClose");
    EXPECT_EQ(saved.count(), 1);
    EXPECT_FALSE(w.isVisible());
  });
  OpenEventDetail(&project, Context());

  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[0].text, "Do you want to make this event active now?");
  EXPECT_EQ(Boxes()[0].title, "Activate Event");
  EXPECT_EQ(Boxes()[1].text, "There is more than one immediate event for this Autoresponder (zero days)");
  EXPECT_EQ(Boxes()[1].title, "Warning");
  EXPECT_EQ(Boxes()[1].icon, MessageIcon::Information);
  EXPECT_EQ(Pause::Recorded(), std::vector<int>{2000});

  RowSet row = Row(eventId);
  EXPECT_EQ(row.Field("EventName").AsText(), "Welcome aboard");
  EXPECT_EQ(row.Field("Subject").AsText(), "Welcome, Ann");
  EXPECT_EQ(row.Field("Active").AsInteger(), -1);
  EXPECT_EQ(row.Field("PlainTextMessage").AsText(), "New line one\r\nNew line two");
  EXPECT_EQ(row.Field("DisableWYSIWYG").AsInteger(), 0);
  EXPECT_EQ(row.Field("FromAddress").AsText(), "courses@example.com");
  EXPECT_EQ(row.Field("FromName").AsText(), "The Course");
  EXPECT_EQ(row.Field("ReplyToAddress").AsText(), "answers@example.com");
  EXPECT_EQ(row.Field("AttachmentFileName").AsText(), "/srv/files/welcome.pdf");
  EXPECT_EQ(row.Field("PlainTextOnly").AsInteger(), -1);
  EXPECT_EQ(row.Field("UseFilesForMessageBodies").AsInteger(), 0);
  EXPECT_EQ(row.Field("EventInterval").AsReal(), 0);
  // A body tag with only the hyperlink colour, the head as it was, nothing added around
  // the body.
  EXPECT_EQ(test::ReadWholeFile(ContentFile(eventId)), kLinkOnlyFile);
  // The autoresponder editor shows the new name.
  auto* grid = Find<QTableView>(project, "gridEvents");
  bool listed = false;
  for (int r = 0; r < grid->model()->rowCount(); ++r)
    listed = listed || grid->model()->index(r, 2).data().toString() == "Welcome aboard";
  EXPECT_TRUE(listed);

  // Reopened, the page properties are the same; saved again, the file does not change.
  frmEventDetail& again = Open(eventId);
  EXPECT_EQ(again.Properties().link, "#FF0000");
  EXPECT_EQ(again.Properties().head, "<title>Welcome</title>");
  Click(again, "cmdClose");
  EXPECT_EQ(test::ReadWholeFile(ContentFile(eventId)), kLinkOnlyFile);

  // An event deleted meanwhile is reported, and no window stays open.
  MessageBoxes::ClearShown();
  CurrentAutoresponderEventID() = 999;
  OpenEventDetail(&project, Context());
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Error: This event no longer exists"});
}

TEST_F(EventDetailWindow, NoToActivatingKeepsTheEventInactiveAndCancelWritesNothing) {
  const int64_t eventId = AddEvent("Later", 3, false);
  test::WriteWholeFile(ContentFile(eventId), kLinkOnlyFile);
  frmEventDetail& w = Open(eventId);
  Box(w, "txtSubject")->setText("Changed");
  MessageBoxes::QueueAnswer(Answer::No);
  Click(w, "cmdClose");
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Do you want to make this event active now?"});
  EXPECT_EQ(Row(eventId).Field("Active").AsInteger(), 0);
  EXPECT_EQ(Row(eventId).Field("Subject").AsText(), "Changed");

  frmEventDetail& again = Open(eventId);
  Box(again, "txtSubject")->setText("Not kept");
  Box(again, "txtFromName")->setText("Not kept either");
  Click(again, "cmdCancel");
  EXPECT_FALSE(again.isVisible());
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(Row(eventId).Field("Subject").AsText(), "Changed");
  EXPECT_EQ(Row(eventId).Field("FromName").AsText(), "Course Team");
  EXPECT_EQ(test::ReadWholeFile(ContentFile(eventId)), kLinkOnlyFile);
}

TEST_F(EventDetailWindow, DialogsImportsIntervalAndRefusalsInPreview) {
  const int64_t eventId = AddEvent("Tips", 3);
  test::WriteWholeFile(ContentFile(eventId), kLinkOnlyFile);
  frmEventDetail& w = Open(eventId);

  // The interval check when the field is left.
  QLineEdit* interval = Box(w, "txtEventInterval");
  for (const auto& [typed, shown] : {std::pair{"-3", "0"}, {"7.5", "7.5"}, {"3 days", "3"}}) {
    interval->setText(typed);
    LeaveField(interval);
    EXPECT_EQ(interval->text(), shown) << typed;
  }

  // The five file dialogs with their titles, filters and remembered folders.
  struct DialogCase {
    const char* button;
    const char* title;
    const char* filter;
    const char* section;
    bool asks;  // the imports ask before replacing the message
  };
  const DialogCase dialogs[] = {
      {"cmdBrowseAttachment", "Attach A File",
       "All|*.*|Zip Files|*.zip|Word Documents|*.doc|HTML Files|*.htm;*.html|PDF Files|*.pdf|Text (*.txt)|*.txt||",
       "EventDetailAttachment", false},
      {"cmdHTMLMessageFileBrowse", "HTML Message From File", "HTML Files|*.htm;*.html|All|*.*||",
       "HTMLMessageFileBrowse", false},
      {"cmdPlainTextMessageFileBrowse", "Plain Text Message From File", "TXT Files|*.txt|All|*.*||",
       "PlainTextMessageFileBrowse", false},
      {"cmdImport", "Import A Text File", "Text (*.txt)|*.txt|All|*.*||", "PlainTextEditorImport", true},
      {"cmdImportHTML", "Import A Text File",
       "HTML (*.html,*.htm)|*.htm;*.html|Text (*.txt)|*.txt|All|*.*||", "HTMLEditorImport", true},
  };
  for (const DialogCase& d : dialogs) {
    const std::string chosen = operatorFolder.Path() + "/" + d.section + "/missing.txt";
    FileDialogs::QueueAnswer(chosen);
    if (d.asks) MessageBoxes::QueueAnswer(Answer::No);
    Click(w, d.button);
    ASSERT_FALSE(FileDialogs::Requests().empty());
    EXPECT_EQ(FileDialogs::Requests().back().title, d.title);
    EXPECT_EQ(FileDialogs::Requests().back().filter, d.filter);
    EXPECT_EQ(FileDialogs::RememberedFolder(d.section), operatorFolder.Path() + "/" + d.section + "/");
  }
  EXPECT_EQ(Box(w, "txtAttachment")->text().toStdString(), operatorFolder.Path() + "/EventDetailAttachment/missing.txt");
  EXPECT_EQ(Box(w, "txtPlainTextMessageFile")->text().toStdString(),
            operatorFolder.Path() + "/PlainTextMessageFileBrowse/missing.txt");
  // Cancelled: nothing changes.
  Click(w, "cmdBrowseAttachment");
  EXPECT_EQ(Box(w, "txtAttachment")->text().toStdString(), operatorFolder.Path() + "/EventDetailAttachment/missing.txt");

  // Imports: 64000 bytes are taken, 64001 refused.
  const std::string plain64000 = operatorFolder.File("plain64000.txt");
  test::WriteWholeFile(plain64000, std::string(63998, 'p') + "\r\n");
  const std::string plain64001 = operatorFolder.File("plain64001.txt");
  test::WriteWholeFile(plain64001, std::string(64001, 'q'));
  MessageBoxes::ClearShown();
  FileDialogs::QueueAnswer(plain64001);
  Click(w, "cmdImport");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "Not able to import files greater then 64,000 bytes (64k)");
  EXPECT_EQ(Boxes()[0].title, "Error");
  EXPECT_EQ(Boxes()[0].icon, MessageIcon::Critical);
  EXPECT_EQ(TextArea(w, "txtPlainText")->toPlainText(), "Hello\nThere\n");
  FileDialogs::QueueAnswer(plain64000);
  MessageBoxes::QueueAnswer(Answer::Yes);
  Click(w, "cmdImport");
  EXPECT_EQ(Boxes().back().text, "Import will replace the existing message text.  Do you want to continue?");
  EXPECT_EQ(TextArea(w, "txtPlainText")->toPlainText().toStdString(), std::string(63998, 'p') + "\n");

  // The HTML import brings its own head and body-tag properties, found in any letter
  // case; a colour given by name does not blank the others.
  std::string page =
      "<html><head><title>Imported</title></head><body bgcolor=\"white\" link=\"#00FF00\"><p>Imported ";
  const std::string end = "</p></body></html>\r\n";
  page += std::string(64000 - page.size() - end.size(), 'h') + end;
  ASSERT_EQ(page.size(), 64000u);
  const std::string html64000 = operatorFolder.File("page64000.html");
  test::WriteWholeFile(html64000, page);
  const std::string html64001 = operatorFolder.File("page64001.html");
  test::WriteWholeFile(html64001, page + " ");
  MessageBoxes::ClearShown();
  FileDialogs::QueueAnswer(html64001);
  Click(w, "cmdImportHTML");
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Not able to import files greater then 64,000 bytes (64k)"});
  EXPECT_EQ(w.Properties().link, "#FF0000");
  FileDialogs::QueueAnswer(html64000);
  MessageBoxes::QueueAnswer(Answer::Yes);
  Click(w, "cmdImportHTML");
  EXPECT_EQ(w.Properties().head, "<title>Imported</title>");
  EXPECT_EQ(w.Properties().backgroundColor, "white");
  EXPECT_EQ(w.Properties().link, "#00FF00");
  EXPECT_NE(Body(w).find("<p>Imported hhh"), std::string::npos);

  // The editor's remote-image command is the window's: one box, its own texts.
  MessageBoxes::ClearShown();
  MessageBoxes::QueueInput(std::string("http://127.0.0.1:9/logo.gif"));
  w.Editor()->RunCommand("RemoteImage");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_TRUE(Boxes()[0].input);
  EXPECT_EQ(Boxes()[0].text, "Enter the url of the image");
  EXPECT_EQ(Boxes()[0].title, "Insert Image From URL");
  EXPECT_EQ(Boxes()[0].defaultText, "http://");
  EXPECT_NE(Body(w).find("<img src=\"http://127.0.0.1:9/logo.gif\">"), std::string::npos);

  // In Preview, clearing, importing, page properties and templates are refused and change
  // nothing.
  int opened = 0;
  Openers().pageProperties = [&opened](QWidget*, PageProperties&) { return ++opened > 0; };
  Openers().chooseTemplate = [&opened](QWidget*) -> std::optional<std::string> {
    ++opened;
    return std::string("<body>template</body>");
  };
  Click(w, "optPreview");
  ASSERT_TRUE(Find<QRadioButton>(w, "optPreview")->isChecked());
  EXPECT_NE(w.Preview()->Shown().find("<p>Imported hhh"), std::string::npos);
  // The preview of the event's own body file writes it: with every imported property.
  EXPECT_NE(test::ReadWholeFile(ContentFile(eventId))
                .find("<HEAD>\r\n<title>Imported</title>\r\n</HEAD>\r\n<BODY bgcolor=\"white\" link=\"#00FF00\">\r\n<p>Imported"),
            std::string::npos);
  const std::string bodyBefore = Body(w);
  MessageBoxes::ClearShown();
  for (const char* button : {"cmdClearHTMLMessage", "cmdImportHTML", "cmdPageProperties", "cmdTemplates"})
    Click(w, button);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"You must in Edit or Code View to clear the HTML message",
                                                  "You must in Edit or Code View to import html",
                                                  "You must in Edit or Code View to change page properties",
                                                  "You must in Edit or Code View to include a template"}));
  EXPECT_EQ(opened, 0);
  EXPECT_EQ(Body(w), bodyBefore);
  EXPECT_EQ(w.Properties().link, "#00FF00");

  // Back in the editor a template replaces the document, the head and the properties.
  Click(w, "optEditView");
  MessageBoxes::ClearShown();
  Click(w, "cmdTemplates");
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(Body(w), "template");
  EXPECT_EQ(w.Properties(), PageProperties{});

  Click(w, "cmdClose");
  EXPECT_EQ(test::ReadWholeFile(ContentFile(eventId)), "<HEAD>\r\n\r\n</HEAD>\r\n<BODY>\r\ntemplate</BODY>\r\n");
}

TEST_F(EventDetailWindow, OperatorsOwnFileIsWrittenOnlyOnSaveAfterAsking) {
  const std::string mine = operatorFolder.File("mine.html");
  const std::string mineText =
      "<html><head><title>Mine</title></head><body link=\"#0000FF\"><p>Mine</p></body></html>\r\n";
  test::WriteWholeFile(mine, mineText);
  const int64_t eventId = AddEvent("Own file", 1);
  test::WriteWholeFile(ContentFile(eventId), kLinkOnlyFile);
  {
    frmEventDetail& w = Open(eventId);
    Click(w, "cbUseFilesForMessageBodies");
    EXPECT_FALSE(Box(w, "txtHTMLMessageFile")->isHidden());
    EXPECT_EQ(w.HTMLMessagePath(), "");
    FileDialogs::QueueAnswer(mine);
    Click(w, "cmdHTMLMessageFileBrowse");
    EXPECT_EQ(w.HTMLMessagePath(), mine);
    EXPECT_EQ(Body(w).find("<p>Mine</p>"), 0u);
    EXPECT_EQ(w.Properties().link, "#0000FF");
    EXPECT_EQ(w.Properties().head, "<title>Mine</title>");

    // The preview shows the message from memory; the file stays as the operator wrote it.
    struct stat before{};
    ASSERT_EQ(::stat(mine.c_str(), &before), 0);
    Click(w, "optPreview");
    EXPECT_NE(w.Preview()->Shown().find("<p>Mine</p>"), std::string::npos);
    Click(w, "optEditView");
    // Saved without a change: no question, the file untouched.
    Click(w, "cmdClose");
    EXPECT_TRUE(Boxes().empty()) << Boxes()[0].text;
    struct stat after{};
    ASSERT_EQ(::stat(mine.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(test::ReadWholeFile(mine), mineText);
    EXPECT_EQ(test::ReadWholeFile(ContentFile(eventId)), kLinkOnlyFile);
    EXPECT_EQ(Row(eventId).Field("HTMLMessageFile").AsText(), mine);
  }

  // Changed, the file is written only when the operator says so.
  Openers().pageProperties = [](QWidget*, PageProperties& p) {
    p.link = "#FF0000";
    return true;
  };
  {
    frmEventDetail& w = Open(eventId);
    EXPECT_EQ(w.HTMLMessagePath(), mine);
    Click(w, "cmdPageProperties");
    MessageBoxes::QueueAnswer(Answer::Cancel);
    Click(w, "cmdClose");
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Do you want to overwrite " + mine + " with the HTML message shown here?"});
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(test::ReadWholeFile(mine), mineText);

    // Another program changes the file meanwhile: offered for loading again, nothing written.
    test::WriteWholeFile(mine, "<body link=\"#00FFFF\"><p>Edited elsewhere</p></body>");
    MessageBoxes::ClearShown();
    MessageBoxes::QueueAnswer(Answer::Yes);
    Click(w, "cmdClose");
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].title, "HTML Message File Changed");
    EXPECT_TRUE(w.isVisible());
    EXPECT_NE(Body(w).find("Edited elsewhere"), std::string::npos);
    EXPECT_EQ(w.Properties().link, "#00FFFF");

    Click(w, "cmdPageProperties");
    MessageBoxes::ClearShown();
    MessageBoxes::QueueAnswer(Answer::Yes);
    Click(w, "cmdClose");
    EXPECT_EQ(Boxes().size(), 1u);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(test::ReadWholeFile(mine),
              "<HEAD>\r\n\r\n</HEAD>\r\n<BODY link=\"#FF0000\">\r\n<p>Edited elsewhere</p></BODY>\r\n");
  }

  // A typed path is handled as a browsed one; the external editor gets the path as one
  // argument, without a shell, and the unchanged file is not written first.
  const std::string other = operatorFolder.File("other page.html");
  test::WriteWholeFile(other, "<body><p>Other</p></body>");
  ::setenv("VISUAL", "my-editor --wait", 1);
  {
    frmEventDetail& w = Open(eventId);
    Box(w, "txtHTMLMessageFile")->setText(QString::fromStdString(other));
    emit Box(w, "txtHTMLMessageFile")->editingFinished();
    EXPECT_EQ(w.HTMLMessagePath(), other);
    EXPECT_NE(Body(w).find("<p>Other</p>"), std::string::npos);
    Click(w, "cmdExternalEditor");
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, "You will need to refresh the preview window when you return from the external editor");
    EXPECT_EQ(Boxes()[0].title, "Refresh Required");
    ASSERT_EQ(DetachedProgram::Started().size(), 1u);
    EXPECT_EQ(DetachedProgram::Started()[0], (std::vector<std::string>{"my-editor", "--wait", other}));
    EXPECT_EQ(test::ReadWholeFile(other), "<body><p>Other</p></body>");
  }
  ::unsetenv("VISUAL");
}

TEST_F(EventDetailWindow, BodyThatCannotBeWrittenOrReadIsNeverLostOrSavedOver) {
  // The content folder is a file: the body cannot be written.
  test::TempFolder broken;
  test::WriteWholeFile(broken.File("content"), "not a folder");
  const int64_t eventId = AddEvent("Broken", 2);
  {
    frmEventDetail& w = Open(eventId, broken.Path());
    Box(w, "txtSubject")->setText("Not saved");
    QSignalSpy saved(&w, &frmEventDetail::eventSaved);
    Click(w, "cmdClose");
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text.rfind("Error: cannot write " + broken.Path() + "/content/", 0), 0u) << Boxes()[0].text;
    EXPECT_NE(Boxes()[0].text.find("Not a directory"), std::string::npos);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.Busy());
    EXPECT_TRUE(Find<QPushButton>(w, "cmdClose")->isEnabled());
    EXPECT_EQ(saved.count(), 0);
    EXPECT_EQ(Row(eventId).Field("Subject").AsText(), "Hello");
  }

  // A body file that cannot be read (larger than any body the processor takes) is
  // reported, and neither the preview nor the save writes the empty editor over it.
  const std::string content = ContentFile(eventId);
  test::WriteWholeFile(content, "");
  ASSERT_EQ(::truncate(content.c_str(), 65 * 1024 * 1024), 0);
  frmEventDetail& w = Open(eventId);
  Box(w, "txtSubject")->setText("Saved without the body");
  Click(w, "optPreview");
  MessageBoxes::QueueAnswer(Answer::No);
  Click(w, "cmdClose");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text.rfind("Error: The HTML message could not be loaded (", 0), 0u) << Boxes()[0].text;
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(Row(eventId).Field("Subject").AsText(), "Hello");
  MessageBoxes::QueueAnswer(Answer::Yes);
  Click(w, "cmdClose");
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(Row(eventId).Field("Subject").AsText(), "Saved without the body");
  struct stat st{};
  ASSERT_EQ(::stat(content.c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 65 * 1024 * 1024);
  EXPECT_NE(test::ReadWholeFile(db.Folder() + "/debug/trace.log").find("frmEventDetail:LoadMessage: "),
            std::string::npos);
}

TEST_F(EventDetailWindow, EditsInTheCodeViewAndTheRawTextAreNeverLost) {
  const int64_t eventId = AddEvent("Raw", 4);
  test::WriteWholeFile(ContentFile(eventId), "<HEAD>\r\n\r\n</HEAD>\r\n<BODY>\r\n<p>One</p></BODY>\r\n");
  {
    frmEventDetail& w = Open(eventId);
    Click(w, "optCodeView");
    EXPECT_TRUE(w.Editor()->SourceMode());
    QPlainTextEdit* source = TextArea(w, "HtmlEditorSource");
    EXPECT_EQ(source->toPlainText().trimmed(), "<p>One</p>");
    source->setPlainText("<p>Two</p>");
    // The editor's own source button keeps the view buttons in step.
    w.Editor()->RunCommand("Source");
    EXPECT_TRUE(Find<QRadioButton>(w, "optEditView")->isChecked());
    w.Editor()->RunCommand("Source");
    EXPECT_TRUE(Find<QRadioButton>(w, "optCodeView")->isChecked());
    Click(w, "cmdClose");
    EXPECT_EQ(test::ReadWholeFile(ContentFile(eventId)), "<HEAD>\r\n\r\n</HEAD>\r\n<BODY>\r\n<p>Two</p></BODY>\r\n");
  }

  int opened = 0;
  Openers().pageProperties = [&opened](QWidget*, PageProperties&) { return ++opened > 0; };
  frmEventDetail& w = Open(eventId);
  Click(w, "cbDisableWYSIWYG");
  QPlainTextEdit* raw = TextArea(w, "txtHTML");
  EXPECT_EQ(raw->toPlainText(), "<HEAD>\n\n</HEAD>\n<BODY>\n<p>Two</p></BODY>");
  EXPECT_TRUE(Find<QRadioButton>(w, "optCodeView")->isHidden());
  EXPECT_FALSE(Find<QRadioButton>(w, "optEditView")->isHidden());

  const QString typed =
      "<html><head><title>Raw</title></head>\n<body link=\"#00FF00\"><p>Raw <a href=\"#nowhere\">x</a></p></body></html>";
  raw->setPlainText(typed);
  // The page properties would not reach a file written from the raw text.
  Click(w, "cmdPageProperties");
  EXPECT_EQ(opened, 0);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].title, "Page Properties");
  // The preview shows the raw text, written as it stands.
  Click(w, "optPreview");
  const std::string rawFile = typed.toStdString().replace(typed.indexOf('\n'), 1, "\r\n") + "\r\n";
  EXPECT_EQ(test::ReadWholeFile(ContentFile(eventId)), rawFile);
  EXPECT_EQ(w.Preview()->Shown(), rawFile);
  Click(w, "optEditView");
  // What reads the document reads the raw text.
  Click(w, "cmdCopyPlainText");
  EXPECT_EQ(TextArea(w, "txtPlainText")->toPlainText(), "Raw x");

  // Back to the visual editor with the raw text's head, properties and body.
  Click(w, "cbDisableWYSIWYG");
  EXPECT_NE(Body(w).find("<p>Raw <a href=\"#nowhere\">x</a></p>"), std::string::npos);
  EXPECT_EQ(w.Properties().head, "<title>Raw</title>");
  EXPECT_EQ(w.Properties().link, "#00FF00");
  Click(w, "cmdClose");
  EXPECT_EQ(test::ReadWholeFile(ContentFile(eventId)),
            "<HEAD>\r\n<title>Raw</title>\r\n</HEAD>\r\n<BODY link=\"#00FF00\">\r\n"
            "<p>Raw <a href=\"#nowhere\">x</a></p></BODY>\r\n");
}

TEST_F(EventDetailWindow, PreflightChecksASnapshotWhileTheWindowStaysShut) {
  db.SetSmtpServer("smtp.example.com");
  const int64_t eventId = AddEvent("Check", 1);
  test::WriteWholeFile(ContentFile(eventId), "<BODY><p><a href=\"#top\">Top</a><img src=\"/no/such.gif\"></p>"
                       "<h2 id=\"end\">End</h2><a href=\"#end\">End</a></BODY>");
  frmEventDetail& w = Open(eventId);
  Box(w, "txtSubject")->setText("  ");
  auto* list = Find<QListWidget>(w, "lbStatus");
  std::vector<PreflightElement> seen;
  std::string subject, server;
  bool closedWhileRunning = false, controlsOff = false;
  w.SetPreflightCheck([&](const std::string& s, const std::string& smtp, const std::vector<PreflightElement>& elements,
                          const UrlCheck& responds, const PreflightLine& line) {
    subject = s;
    server = smtp;
    seen = elements;
    controlsOff = w.Busy() && !Find<QPushButton>(w, "cmdClose")->isEnabled() &&
                  !Find<QTabWidget>(w, "tabEventDetail")->widget(1)->isEnabled() && list->isEnabled();
    w.close();
    w.reject();
    closedWhileRunning = !w.isVisible();
    (void)responds("http://127.0.0.1:9/");
    line("Subject cannot be blank", true);
    EXPECT_EQ(list->currentRow(), 0);
    line("Testing for broken links", false);
    EXPECT_EQ(list->currentRow(), 0);
    line("Broken bookmark - top", true);
    EXPECT_EQ(list->currentRow(), 2);
  });
  Click(w, "cmdPreflightTest");
  EXPECT_TRUE(controlsOff);
  EXPECT_FALSE(closedWhileRunning);
  EXPECT_TRUE(w.isVisible());
  EXPECT_FALSE(w.Busy());
  EXPECT_TRUE(Find<QPushButton>(w, "cmdClose")->isEnabled());
  EXPECT_EQ(subject, "  ");
  EXPECT_EQ(server, "smtp.example.com");
  std::vector<std::string> written;
  for (const PreflightElement& e : seen)
    if (e.tagName == "A" || e.tagName == "IMG") written.push_back(e.tagName + " " + e.href + e.src);
  EXPECT_EQ(written, (std::vector<std::string>{"A #top", "IMG /no/such.gif", "A #end"}));
  std::vector<std::string> ids;
  for (const PreflightElement& e : seen)
    if (!e.id.empty()) ids.push_back(e.tagName + " " + e.id);
  EXPECT_EQ(ids, (std::vector<std::string>{"H2 end"}));
  EXPECT_EQ(list->count(), 3);

  // A second run starts from an empty list; the check on main ends with its completion line.
  w.SetPreflightCheck(RunPreflightCheck);
  Click(w, "cmdPreflightTest");
  ASSERT_GT(list->count(), 0);
  EXPECT_EQ(list->item(list->count() - 1)->text(), "Complete: Check items above for any errors detected");
  // A bookmark that leads to an element's id is not broken; one that leads nowhere is.
  std::vector<std::string> lines;
  for (int i = 0; i < list->count(); ++i) lines.push_back(list->item(i)->text().toStdString());
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Broken bookmark - end"), 0);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Broken bookmark - top"), 1);
}

}  // namespace
}  // namespace ar
