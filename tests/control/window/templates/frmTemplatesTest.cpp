// The template window and its import window over a temporary templates folder, driven
// by object name on the offscreen platform; boxes and file dialogs are answered.
#include "control/window/templates/frmTemplateImport.h"
#include "control/window/templates/frmTemplates.h"
#include "store/DataFolder.h"
#include "tests/control/window/ModalWindows.h"
#include "tests/control/window/WindowTest.h"
#include "tests/support/TempFolder.h"

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gmock/gmock.h>

namespace ar {
namespace {

using ::testing::ElementsAre;

class Templates : public test::WindowTest {
 protected:
  void SetUp() override {
    test::OffscreenApplication();
    WindowTest::SetUp();
  }
  std::string Folder() const { return templates.Path(); }
  void Write(const std::string& name, const std::string& content = "<BODY></BODY>") {
    test::WriteWholeFile(templates.File(name), content);
  }
  void Picture(const std::string& name, Qt::GlobalColor colour) {
    QImage image(40, 50, QImage::Format_RGB32);
    image.fill(colour);
    ASSERT_TRUE(image.save(QString::fromStdString(templates.File(name)), "JPG"));
  }
  void SetDefault(const std::string& name) {
    db.Config().Execute("update tblConfiguration set DefaultTemplate=?", {name});
  }
  std::string StoredDefault() { return NullToDefault(db.Config().Scalar("select DefaultTemplate from tblConfiguration"), ""); }

  static std::vector<std::string> Entries(QWidget* window) {
    std::vector<std::string> entries;
    auto* list = window->findChild<QListWidget*>("lbTemplates");
    for (int i = 0; list && i < list->count(); ++i) entries.push_back(list->item(i)->text().toStdString());
    return entries;
  }
  static std::string Current(QWidget* window) {
    const QListWidgetItem* item = window->findChild<QListWidget*>("lbTemplates")->currentItem();
    return item && item->isSelected() ? item->text().toStdString() : "";
  }
  static void Choose(QWidget* window, int row) { window->findChild<QListWidget*>("lbTemplates")->setCurrentRow(row); }
  // The colour in the middle of the preview; transparent when it shows no picture.
  static QColor Preview(QWidget* window) {
    const QPixmap picture = window->findChild<QLabel*>("imgPreview")->pixmap();
    if (picture.isNull()) return Qt::transparent;
    return picture.toImage().pixelColor(picture.width() / 2, picture.height() / 2);
  }
  static bool Near(const QColor& a, Qt::GlobalColor b) {
    const QColor c(b);
    return std::abs(a.red() - c.red()) < 24 && std::abs(a.green() - c.green()) < 24 && std::abs(a.blue() - c.blue()) < 24;
  }
  static void Press(QWidget* window, const char* button) {
    auto* found = window->findChild<QPushButton*>(button);
    ASSERT_NE(found, nullptr) << button;
    QTest::mouseClick(found, Qt::LeftButton);
  }

  test::TempFolder templates;
};

TEST_F(Templates, ListsHtmAndHtmlWithTheirPreviewsAndTheDefaultInAnotherCase) {
  Write("basic.htm");
  Write("Fancy.html");
  Write("notes.txt");
  Picture("Fancy.jpg", Qt::red);
  Picture("nopreviewfile.jpg", Qt::blue);
  SetDefault("fancy.HTML");
  frmTemplates window(db.Config(), Folder(), false);
  window.show();
  EXPECT_EQ(window.windowTitle().toStdString(), "Templates");
  EXPECT_TRUE(window.isModal());
  EXPECT_TRUE(window.findChild<QPushButton*>("cmdSelect")->isHidden()) << "opened from the menu";
  EXPECT_FALSE(window.findChild<QPushButton*>("cmdClose")->isHidden());

  EXPECT_THAT(Entries(&window), ElementsAre("basic.htm", "Fancy.html"));
  EXPECT_EQ(Current(&window), "Fancy.html");
  EXPECT_TRUE(Near(Preview(&window), Qt::red)) << "its own picture";
  Choose(&window, 0);
  EXPECT_TRUE(Near(Preview(&window), Qt::blue)) << "the no-preview picture";

  // Without the fallback picture: no picture at all. Refresh reloads the list.
  std::remove(templates.File("nopreviewfile.jpg").c_str());
  Write("zebra.html");
  Press(&window, "cmdRefreshPreview");
  EXPECT_THAT(Entries(&window), ElementsAre("basic.htm", "Fancy.html", "zebra.html"));
  Choose(&window, 0);
  EXPECT_EQ(Preview(&window), QColor(Qt::transparent));

  // From the menu a double-click selects nothing: no question, nothing chosen.
  QListWidget* list = window.findChild<QListWidget*>("lbTemplates");
  emit list->itemDoubleClicked(list->item(0));
  EXPECT_TRUE(Boxes().empty());
  EXPECT_TRUE(window.isVisible());
}

TEST_F(Templates, WithoutADefaultTheFirstIsPreselectedAndAnEmptyListSelectsNothing) {
  Write("b.htm");
  Write("a.htm");
  {
    frmTemplates window(db.Config(), Folder(), true);
    window.show();
    EXPECT_EQ(Current(&window), "a.htm");
  }
  test::TempFolder empty;
  frmTemplates window(db.Config(), empty.Path(), true);
  window.show();
  EXPECT_FALSE(window.findChild<QPushButton*>("cmdSelect")->isHidden()) << "opened from the event editor";
  EXPECT_EQ(Current(&window), "");
  Press(&window, "cmdSelect");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "You must select a template first");
  EXPECT_EQ(Boxes()[0].title, "Error");
  EXPECT_EQ(Boxes()[0].icon, MessageIcon::Critical);
  EXPECT_FALSE(window.ChosenText().has_value());
  EXPECT_TRUE(window.isVisible());
}

TEST_F(Templates, SelectAsksAndGivesTheTextLineByLine) {
  Write("news.html", "<HEAD><TITLE>News</TITLE></HEAD>\n<BODY bgcolor=\"#FFFFFF\">\r\nHello\rBye");
  frmTemplates window(db.Config(), Folder(), true);
  window.show();

  MessageBoxes::QueueAnswer(Answer::No);
  Press(&window, "cmdSelect");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "This will overwrite your existing HTML message.  Do you want to continue?");
  EXPECT_EQ(Boxes()[0].buttons, Buttons::YesNo);
  EXPECT_FALSE(window.ChosenText().has_value());
  EXPECT_TRUE(window.isVisible());

  // A double-click does the same as the select button.
  MessageBoxes::QueueAnswer(Answer::Yes);
  QListWidget* list = window.findChild<QListWidget*>("lbTemplates");
  emit list->itemDoubleClicked(list->item(0));
  ASSERT_TRUE(window.ChosenText().has_value());
  EXPECT_EQ(*window.ChosenText(), "<HEAD><TITLE>News</TITLE></HEAD>\n<BODY bgcolor=\"#FFFFFF\">\r\nHello\r\nBye\r\n");
  EXPECT_EQ(window.result(), QDialog::Accepted);
  EXPECT_FALSE(window.isVisible());
}

TEST_F(Templates, ATemplateGoneSinceTheListWasLoadedIsReported) {
  Write("gone.htm");
  frmTemplates window(db.Config(), Folder(), true);
  window.show();
  std::remove(templates.File("gone.htm").c_str());
  MessageBoxes::QueueAnswer(Answer::Yes);
  Press(&window, "cmdSelect");
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[1].text, "File could not be found or is not accessable");
  EXPECT_FALSE(window.ChosenText().has_value());
  EXPECT_TRUE(Entries(&window).empty());
  EXPECT_TRUE(window.isVisible());
}

TEST_F(Templates, SetAndClearTheDefault) {
  Write("a.htm");
  Write("b.html");
  frmTemplates window(db.Config(), Folder(), false);
  window.show();
  auto* label = window.findChild<QLabel*>("lblDefaultTemplate");
  EXPECT_EQ(label->text().toStdString(), "Default template: (none)");

  window.findChild<QListWidget*>("lbTemplates")->clearSelection();
  Press(&window, "cmdSetAsDefaultTemplate");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "You must select a template first");
  EXPECT_EQ(StoredDefault(), "");

  Choose(&window, 1);
  Press(&window, "cmdSetAsDefaultTemplate");
  EXPECT_EQ(StoredDefault(), "b.html");
  EXPECT_EQ(label->text().toStdString(), "Default template: b.html");

  MessageBoxes::ClearShown();
  Press(&window, "cmdClearDefaultTemplate");
  EXPECT_EQ(StoredDefault(), "");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "Default template cleared");
  EXPECT_EQ(Boxes()[0].icon, MessageIcon::Information);
  EXPECT_EQ(Current(&window), "a.htm") << "the list is reloaded";
}

class TemplateImport : public Templates {
 protected:
  std::string Source(const std::string& name, const std::string& content) {
    test::WriteWholeFile(documents.File(name), content);
    return documents.File(name);
  }
  static void Type(QWidget* window, const std::string& path) {
    window->findChild<QLineEdit*>("txtFileName")->setText(QString::fromStdString(path));
  }
  test::TempFolder documents;
};

TEST_F(TemplateImport, TheImportWindowOpensFromTheTemplateWindowAndTheListFollows) {
  Write("a.htm");
  const std::string source = Source("Summer.html", "<p>summer</p>");
  frmTemplates window(db.Config(), Folder(), false);
  window.show();
  test::WhenModalOpens<frmTemplateImport>([&](frmTemplateImport* import) {
    EXPECT_EQ(import->windowTitle().toStdString(), "Template Import");
    FileDialogs::QueueAnswer(source);
    Press(import, "cmdBrowse");
    ASSERT_EQ(FileDialogs::Requests().size(), 1u);
    EXPECT_EQ(FileDialogs::Requests()[0].title, "Template Import");
    EXPECT_EQ(FileDialogs::Requests()[0].filter, "HTML Files|*.html;*.htm||");
    EXPECT_EQ(import->findChild<QLineEdit*>("txtFileName")->text().toStdString(), source);
    Press(import, "cmdOK");
  });
  Press(&window, "cmdImport");
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(test::ReadWholeFile(templates.File("Summer.html")), "<p>summer</p>");
  EXPECT_THAT(Entries(&window), ElementsAre("a.htm", "Summer.html"));
}

TEST_F(TemplateImport, AskBeforeReplacingAndReportAMissingFile) {
  Write("offer.html", "<p>old</p>");
  const std::string source = Source("offer.html", "<p>new</p>");
  frmTemplateImport window(Folder());
  window.show();

  Type(&window, documents.File("none.html"));
  Press(&window, "cmdOK");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "File could not be found or is not accessable");
  EXPECT_EQ(Boxes()[0].title, "Error");
  EXPECT_EQ(Boxes()[0].icon, MessageIcon::Critical);

  Type(&window, source);
  MessageBoxes::ClearShown();
  MessageBoxes::QueueAnswer(Answer::No);
  Press(&window, "cmdOK");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "A template named offer.html already exists.  Do you want to replace it?");
  EXPECT_EQ(Boxes()[0].buttons, Buttons::YesNo);
  EXPECT_EQ(test::ReadWholeFile(templates.File("offer.html")), "<p>old</p>");
  EXPECT_TRUE(window.isVisible());

  MessageBoxes::QueueAnswer(Answer::Yes);
  Press(&window, "cmdOK");
  EXPECT_EQ(test::ReadWholeFile(templates.File("offer.html")), "<p>new</p>");
  EXPECT_EQ(window.result(), QDialog::Accepted);
}

TEST_F(TemplateImport, AFailedCopyIsShownAndTheWindowStays) {
  const std::string source = Source("a.html", "<p>a</p>");
  // A file where the templates folder belongs: nothing can be copied there (as root too).
  test::WriteWholeFile(templates.File("blocked"), "");
  frmTemplateImport window(templates.File("blocked"));
  window.show();
  Type(&window, source);
  Press(&window, "cmdOK");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text.rfind("The template could not be imported: ", 0), 0u) << Boxes()[0].text;
  EXPECT_EQ(Boxes()[0].icon, MessageIcon::Critical);
  EXPECT_TRUE(window.isVisible());
  EXPECT_NE(window.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace ar
