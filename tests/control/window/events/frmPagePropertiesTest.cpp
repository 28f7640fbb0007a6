// The page-properties window and the HEAD editor over a set of page properties, as the
// event editor hands them over; colour and file dialogs are answered.
#include "control/window/events/frmHEADEditor.h"
#include "control/window/events/frmPageProperties.h"
#include "tests/control/window/ModalWindows.h"
#include "tests/control/window/WindowTest.h"
#include "tests/support/TempFolder.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gmock/gmock.h>

namespace ar {
namespace {

using ::testing::HasSubstr;

class PagePropertiesWindow : public test::WindowTest {
 protected:
  void SetUp() override {
    test::OffscreenApplication();
    WindowTest::SetUp();
    SetTraceFile(db.Folder() + "/debug/trace.log");
  }
  static QColor Swatch(QWidget* window, const char* key) {
    return window->findChild<QFrame*>(QString("pic") + key)->palette().color(QPalette::Window);
  }
  static QCheckBox* Use(QWidget* window, const char* key) { return window->findChild<QCheckBox*>(QString("cb") + key); }
  static QLineEdit* Image(QWidget* window) { return window->findChild<QLineEdit*>("txtBackgroundImageURL"); }
  static void Press(QWidget* window, const char* button) {
    auto* found = window->findChild<QPushButton*>(button);
    ASSERT_NE(found, nullptr) << button;
    QTest::mouseClick(found, Qt::LeftButton);
  }
};

TEST_F(PagePropertiesWindow, AStoredColourOpensAsItsSwatchAndSavesBackUnchanged) {
  PageProperties properties{"<TITLE>x</TITLE>", "", "images/bg.gif", "#1A2B3C", "", ""};
  const PageProperties before = properties;
  frmPageProperties window(properties);
  window.show();
  EXPECT_EQ(window.windowTitle().toStdString(), "Page Properties");
  EXPECT_EQ(Swatch(&window, "Link"), QColor(0x1A, 0x2B, 0x3C));
  EXPECT_TRUE(Use(&window, "Link")->isChecked());
  EXPECT_EQ(Use(&window, "Link")->text().toStdString(), "Use Hyperlink Color");
  for (const char* key : {"BackgroundColor", "ALink", "VLink"}) {
    EXPECT_EQ(Swatch(&window, key), QColor(Qt::white)) << key;
    EXPECT_FALSE(Use(&window, key)->isChecked()) << key;
  }
  EXPECT_EQ(Use(&window, "BackgroundColor")->text().toStdString(), "Use Background Color");
  EXPECT_EQ(Use(&window, "ALink")->text().toStdString(), "Use Active Hyperlink Color");
  EXPECT_EQ(Use(&window, "VLink")->text().toStdString(), "Use Visited Hyperlink Color");
  EXPECT_EQ(Image(&window)->text().toStdString(), "images/bg.gif");

  Press(&window, "cmdSave");
  EXPECT_TRUE(window.Saved());
  EXPECT_EQ(properties, before);
}

TEST_F(PagePropertiesWindow, ChosenColoursAndImageAreSavedOnlyWhereTheBoxIsChecked) {
  PageProperties properties{"", "#FFFFFF", "", "#1A2B3C", "", ""};
  frmPageProperties window(properties);
  window.show();

  // A colour chosen for a box left unchecked is not used; a cancelled dialog changes nothing.
  FileDialogs::QueueAnswer("#00FF00");
  Press(&window, "cmdALink");
  ASSERT_EQ(FileDialogs::Requests().size(), 1u);
  EXPECT_EQ(FileDialogs::Requests()[0].kind, FileRequest::Kind::Colour);
  EXPECT_EQ(FileDialogs::Requests()[0].folder, "#FFFFFF") << "the dialog starts at the swatch's colour";
  EXPECT_EQ(Swatch(&window, "ALink"), QColor(0, 255, 0));
  Press(&window, "cmdVLink");
  EXPECT_EQ(Swatch(&window, "VLink"), QColor(Qt::white));
  FileDialogs::QueueAnswer("#0000AA");
  Press(&window, "cmdVLink");
  Use(&window, "VLink")->click();
  Use(&window, "Link")->click();  // no longer used

  FileDialogs::QueueAnswer("/home/ann/pictures/paper.gif");
  Press(&window, "cmdBrowse");
  EXPECT_EQ(FileDialogs::Requests().back().title, "Background Image");
  EXPECT_EQ(FileDialogs::Requests().back().filter, "GIF|*.gif|JPG|*.jpg|All|*.*||");
  EXPECT_EQ(FileDialogs::RememberedFolder("PagePropertiesBrowseAttachment"), "/home/ann/pictures/");

  Press(&window, "cmdSave");
  EXPECT_EQ(properties, (PageProperties{"", "#FFFFFF", "/home/ann/pictures/paper.gif", "", "", "#0000AA"}));
}

TEST_F(PagePropertiesWindow, CancelWritesNothing) {
  PageProperties properties{"", "#FFFFFF", "bg.gif", "", "", ""};
  const PageProperties before = properties;
  frmPageProperties window(properties);
  window.show();
  Use(&window, "BackgroundColor")->click();
  Image(&window)->clear();
  Press(&window, "cmdCancel");
  EXPECT_FALSE(window.Saved());
  EXPECT_EQ(properties, before);
}

TEST_F(PagePropertiesWindow, ABadStoredColourStopsTheFillingWithATraceLineAndLosesNothing) {
  PageProperties properties{"", "#00FF00", "bg.gif", "blue", "#000000", ""};
  frmPageProperties window(properties);
  window.show();
  EXPECT_THAT(test::ReadWholeFile(TraceFile()), HasSubstr("frmPageProperties/form_load: \"blue\" is not a colour"));
  // Filled so far: the background colour; not the rest.
  EXPECT_EQ(Swatch(&window, "BackgroundColor"), QColor(0, 255, 0));
  EXPECT_TRUE(Use(&window, "BackgroundColor")->isChecked());
  EXPECT_FALSE(Use(&window, "Link")->isChecked());
  EXPECT_FALSE(Use(&window, "ALink")->isChecked());
  EXPECT_EQ(Image(&window)->text().toStdString(), "");

  // What the window never showed is saved back as it was; what the operator set is saved.
  FileDialogs::QueueAnswer("#FF0000");
  Press(&window, "cmdVLink");
  Use(&window, "VLink")->click();
  Press(&window, "cmdSave");
  EXPECT_EQ(properties, (PageProperties{"", "#00FF00", "bg.gif", "blue", "#000000", "#FF0000"}));
}

TEST_F(PagePropertiesWindow, TheHeadEditorShowsAndSavesTheHead) {
  CurrentAutoresponderID() = 12;
  std::string head = "<TITLE>Spring</TITLE>\r\n<STYLE>p{}</STYLE>";
  {
    frmHEADEditor editor(head);
    editor.show();
    EXPECT_EQ(editor.windowTitle().toStdString(), "HEAD Editor - 12");
    EXPECT_EQ(editor.findChild<QLabel*>("lblNote")->text().toStdString(),
              "Note: Styles will not be applied in the editor itself, and will not display until you return to the "
              "preview");
    auto* text = editor.findChild<QPlainTextEdit*>("txtHead");
    EXPECT_EQ(text->toPlainText().toStdString(), "<TITLE>Spring</TITLE>\n<STYLE>p{}</STYLE>");
    Press(&editor, "cmdSave");
    EXPECT_EQ(head, "<TITLE>Spring</TITLE>\r\n<STYLE>p{}</STYLE>") << "unchanged, exactly";
  }
  {
    frmHEADEditor editor(head);
    editor.show();
    editor.findChild<QPlainTextEdit*>("txtHead")->setPlainText("<TITLE>Summer</TITLE>\n");
    Press(&editor, "cmdCancel");
    EXPECT_EQ(head, "<TITLE>Spring</TITLE>\r\n<STYLE>p{}</STYLE>");
  }
  frmHEADEditor editor(head);
  editor.show();
  editor.findChild<QPlainTextEdit*>("txtHead")->setPlainText("<TITLE>Summer</TITLE>\n<META name=\"x\">");
  Press(&editor, "cmdSave");
  EXPECT_EQ(head, "<TITLE>Summer</TITLE>\r\n<META name=\"x\">");
}

TEST_F(PagePropertiesWindow, AHeadSavedInTheHeadEditorStaysWhenThePagePropertiesAreCancelled) {
  PageProperties properties{"<TITLE>a</TITLE>", "#FFFFFF", "", "", "", ""};
  frmPageProperties window(properties);
  window.show();
  Use(&window, "BackgroundColor")->click();
  test::WhenModalOpens<frmHEADEditor>([](frmHEADEditor* editor) {
    editor->findChild<QPlainTextEdit*>("txtHead")->setPlainText("<TITLE>b</TITLE>");
    Press(editor, "cmdSave");
  });
  Press(&window, "cmdEditHead");
  Press(&window, "cmdCancel");
  EXPECT_TRUE(window.Saved());
  EXPECT_EQ(properties, (PageProperties{"<TITLE>b</TITLE>", "#FFFFFF", "", "", "", ""}));
}

}  // namespace
}  // namespace ar
