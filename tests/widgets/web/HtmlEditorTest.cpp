// The visual HTML editor on the offscreen platform with the real web engine: a document in,
// the body out, the live document's elements and text, the source view, the toolbar.
#include "tests/control/window/WebEngineTest.h"
#include "tests/support/TempFolder.h"
#include "widgets/web/ContentPage.h"
#include "widgets/web/HtmlEditor.h"
#include "widgets/web/HtmlPreview.h"

#include <QAction>
#include <QImage>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <memory>

namespace ar {
namespace {

class HtmlEditorTest : public test::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    test::WebEngineApplication();
    editor = std::make_unique<HtmlEditor>();
    editor->resize(700, 500);
    editor->show();
  }
  void TearDown() override {
    editor.reset();
    WindowTest::TearDown();
  }
  // The program's own look at the live document.
  QVariant Live(const char* script) {
    return static_cast<ContentPage*>(editor->View()->page())->Run(script).value_or(QVariant());
  }
  void Trigger(const char* action) {
    QAction* a = editor->findChild<QAction*>(action);
    ASSERT_NE(a, nullptr) << action;
    a->trigger();
  }

  std::unique_ptr<HtmlEditor> editor;
  test::TempFolder folder;
};

TEST_F(HtmlEditorTest, DocumentInBodyElementsAndTextOut) {
  // Nothing is given out before a document is in: an empty editor is never saved.
  EXPECT_FALSE(editor->BodyHtml());
  EXPECT_FALSE(editor->Elements());

  QImage red(30, 20, QImage::Format_RGB32);
  red.fill(Qt::red);
  ASSERT_TRUE(red.save(QString::fromStdString(folder.File("red.png"))));
  const std::string document =
      "<HEAD>\r\n<title>T</title>\r\n</HEAD>\r\n<BODY link=\"#FF0000\">\r\n"
      "<p>Hello <b>there</b></p><img id=\"local\" src=\"file://" + folder.File("red.png") + "\">"
      "<img id=\"plain\" src=\"" + folder.File("red.png") + "\">"
      "<a href=\"#offer\">Offer</a><a href=\"http:///#top\">Top</a><a name=\"offer\">Here</a>"
      "<script>document.body.setAttribute('data-ran','yes')</script>"
      "<meta http-equiv=\"refresh\" content=\"0; url=http://127.0.0.1:9/\"></BODY>\r\n";
  ASSERT_TRUE(editor->SetDocument(document));

  const std::optional<std::string> body = editor->BodyHtml();
  ASSERT_TRUE(body);
  EXPECT_NE(body->find("<p>Hello <b>there</b></p>"), std::string::npos) << *body;
  EXPECT_EQ(Live("document.designMode").toString(), "on");
  EXPECT_EQ(Live("document.body.getAttribute('link')").toString(), "#FF0000");

  // Content is not code: its script did not run, the refresh went nowhere, yet the local
  // images show, as a file: address and as a plain path.
  EXPECT_FALSE(editor->View()->page()->settings()->testAttribute(QWebEngineSettings::JavascriptEnabled));
  EXPECT_FALSE(editor->View()->page()->settings()->testAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls));
  EXPECT_TRUE(Live("document.body.getAttribute('data-ran')").isNull());
  QTRY_COMPARE_WITH_TIMEOUT(Live("document.getElementById('local').naturalWidth").toInt(), 30, 10000);
  QTRY_COMPARE_WITH_TIMEOUT(Live("document.getElementById('plain').naturalWidth").toInt(), 30, 10000);
  EXPECT_EQ(Live("document.title").toString(), "T");

  const std::optional<std::vector<HtmlElement>> elements = editor->Elements();
  ASSERT_TRUE(elements);
  std::vector<std::string> anchors, images;
  for (const HtmlElement& e : *elements) {
    if (e.tagName == "A") anchors.push_back(e.href + "|" + e.name);
    if (e.tagName == "IMG") images.push_back(e.src);
  }
  // As written, not resolved against the page's address.
  EXPECT_EQ(anchors, (std::vector<std::string>{"#offer|", "http:///#top|", "|offer"}));
  EXPECT_EQ(images, (std::vector<std::string>{"file://" + folder.File("red.png"), folder.File("red.png")}));
  EXPECT_EQ(elements->front().tagName, "HTML");

  const std::optional<std::string> text = editor->PlainText();
  ASSERT_TRUE(text);
  EXPECT_NE(text->find("Hello there"), std::string::npos) << *text;

  // Body attributes set and removed, as the page properties are applied.
  editor->SetBodyAttributes({{"bgcolor", "#00FF00"}, {"link", ""}});
  EXPECT_EQ(Live("document.body.getAttribute('bgcolor')").toString(), "#00FF00");
  EXPECT_FALSE(Live("document.body.hasAttribute('link')").toBool());

  // Typing reaches the document.
  editor->FocusEditor();
  Live("(function(){var r=document.createRange();r.selectNodeContents(document.querySelector('p'));"
       "r.collapse(false);var s=getSelection();s.removeAllRanges();s.addRange(r);})()");
  QTest::keyClicks(editor->View()->focusProxy(), "typed");
  QTRY_VERIFY_WITH_TIMEOUT(editor->BodyHtml().value_or("").find("typed") != std::string::npos, 10000);

  // A document over the engine's inline limit (2 MB) loads all the same.
  // (The bulk is a comment, which the engine keeps without laying it out.)
  const std::string big = "<p>start</p><!--" + std::string(2500000, 'x') + "--><p>end</p>";
  ASSERT_TRUE(editor->SetDocument("<BODY>" + big + "</BODY>"));
  EXPECT_EQ(editor->BodyHtml(), big);
}

TEST_F(HtmlEditorTest, SourceViewReportsItsModeAndItsEditsReachTheDocument) {
  ASSERT_TRUE(editor->SetDocument("<BODY><p>One</p></BODY>"));
  QSignalSpy modes(editor.get(), &HtmlEditor::modeChanged);
  Trigger("cmdSource");
  ASSERT_EQ(modes.count(), 1);
  EXPECT_TRUE(modes.takeFirst().at(0).toBool());
  EXPECT_TRUE(editor->SourceMode());
  auto* source = editor->findChild<QPlainTextEdit*>("HtmlEditorSource");
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(source->toPlainText(), "<p>One</p>");

  // While in source mode the body is the source as typed, and the live document follows
  // it before anything reads the document.
  source->setPlainText("<p>Two</p><a href=\"#x\">x</a>");
  EXPECT_EQ(editor->BodyHtml(), "<p>Two</p><a href=\"#x\">x</a>");
  const std::optional<std::vector<HtmlElement>> elements = editor->Elements();
  ASSERT_TRUE(elements);
  EXPECT_EQ(elements->back().href, "#x");
  EXPECT_EQ(editor->PlainText(), "Two\n\nx");

  // A new document shows in the source view too.
  ASSERT_TRUE(editor->SetDocument("<BODY><p>Three</p></BODY>"));
  EXPECT_EQ(source->toPlainText(), "<p>Three</p>");
  source->setPlainText("<p>Four</p>");

  editor->SetSourceMode(false);
  ASSERT_EQ(modes.count(), 1);
  EXPECT_FALSE(modes.takeFirst().at(0).toBool());
  EXPECT_EQ(editor->BodyHtml(), "<p>Four</p>");
  editor->SetSourceMode(false);  // no change, no report
  EXPECT_EQ(modes.count(), 0);
}

TEST_F(HtmlEditorTest, ToolbarCommandsAndARemoteImageTheWindowHandles) {
  ASSERT_TRUE(editor->SetDocument("<BODY><p id=\"p\">Bold me</p></BODY>"));
  Live("(function(){var r=document.createRange();r.selectNodeContents(document.getElementById('p'));"
       "var s=getSelection();s.removeAllRanges();s.addRange(r);})()");
  Trigger("cmdBold");
  EXPECT_NE(editor->BodyHtml().value_or("").find("<b>Bold me</b>"), std::string::npos) << *editor->BodyHtml();

  // Handled by a receiver: the editor asks nothing itself.
  bool handled = true;
  QStringList requested;
  auto connection = QObject::connect(editor.get(), &HtmlEditor::commandRequested, [&](const QString& c, bool* h) {
    requested << c;
    *h = handled;
  });
  Trigger("cmdRemoteImage");
  EXPECT_EQ(requested, QStringList{"RemoteImage"});
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(editor->BodyHtml().value_or("").find("<img"), std::string::npos);

  // Not handled: its own box asks, and the image goes in at the cursor.
  handled = false;
  MessageBoxes::QueueInput(std::string("http://127.0.0.1:9/logo.gif"));
  Trigger("cmdRemoteImage");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].title, "Insert Image From URL");
  EXPECT_NE(editor->BodyHtml().value_or("").find("<img src=\"http://127.0.0.1:9/logo.gif\">"), std::string::npos);
  QObject::disconnect(connection);

  // A local image comes from a file dialog as a file: address, where the cursor is.
  Live("getSelection().collapseToEnd()");
  FileDialogs::QueueAnswer(folder.File("my logo.png"));
  Trigger("cmdImage");
  EXPECT_NE(editor->BodyHtml().value_or("").find("src=\"file://" + folder.Path() + "/my logo.png\""),
            std::string::npos)
      << *editor->BodyHtml();

  // In the source view the image goes into the text.
  editor->SetSourceMode(true);
  editor->InsertImage("http://127.0.0.1:9/a.gif");
  EXPECT_NE(editor->BodyHtml().value_or("").find("<img src=\"http://127.0.0.1:9/a.gif\">"), std::string::npos);
}

TEST_F(HtmlEditorTest, PreviewShowsAFileInEitherEncodingWithoutRunningIt) {
  HtmlPreview preview;
  preview.resize(400, 300);
  preview.show();
  test::WriteWholeFile(folder.File("ansi.html"), "<p>caf\xe9</p><script>document.title='ran'</script>");
  EXPECT_TRUE(preview.ShowFile(folder.File("ansi.html")));
  EXPECT_EQ(preview.Shown(), "<p>caf\xc3\xa9</p><script>document.title='ran'</script>");
  auto* page = static_cast<ContentPage*>(preview.View()->page());
  EXPECT_EQ(page->Run("document.body.innerText").value_or(QVariant()).toString(), QString::fromUtf8("caf\xc3\xa9"));
  EXPECT_NE(page->Run("document.title").value_or(QVariant()).toString(), "ran");
  EXPECT_FALSE(preview.ShowFile(folder.File("missing.html")));
  EXPECT_EQ(preview.Shown(), "");
}

}  // namespace
}  // namespace ar
