// The export and find windows over the autoresponder editor's subscriber list, opened
// from the editor's buttons and driven by object name on the offscreen platform.
#include "base/DayNumber.h"
#include "control/window/autoresponder/frmProjectDetail.h"
#include "control/window/subscribers/SubscriberGrid.h"
#include "control/window/subscribers/SubscriberGridModel.h"
#include "control/window/subscribers/SubscriberWindowOpeners.h"
#include "control/window/subscribers/frmListExport.h"
#include "control/window/subscribers/frmListFind.h"
#include "store/Schema.h"
#include "tests/control/window/ModalWindows.h"
#include "tests/control/window/WindowTest.h"
#include "tests/support/NamedChild.h"
#include "tests/support/TempFolder.h"

#include <filesystem>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

#include <memory>

namespace ar {
namespace {

class ListExportFind : public test::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    test::OffscreenApplication();
    id = db.AddAutoresponder("Course", true);
    for (const char* a : {"ann@example.com", "bob@example.org", "carol@example.com", "dan@example.org"})
      db.Subscribers().Execute("insert into " + SubscriberTable(id) + " (EmailAddress, AddedDate) values (?, 45000)",
                               {std::string(a)});
    CurrentAutoresponderID() = id;
    const ControlContext context{db.Config(), db.Subscribers(), db.Folder(), programFolder.Path()};
    PutInSubscriberOpeners(context);
    editor = std::make_unique<frmProjectDetail>(context);
    editor->show();
    MessageBoxes::ClearShown();
  }
  void TearDown() override {
    editor.reset();
    WindowTest::TearDown();
  }
  // Opens a window from the editor's button and runs the steps on it.
  template <typename T>
  void OpenFromEditor(const char* button, std::function<void(T*)> steps) {
    test::WhenModalOpens<T>([steps](T* w) {
      steps(w);
      if (w->isVisible()) w->reject();
    });
    editor->findChild<QPushButton*>(button)->click();
  }
  template <typename T>
  static T* Child(QWidget* w, const char* name) {
    return test::NamedChild<T>(w, name);
  }
  static void Press(QWidget* w, const char* name) { Child<QPushButton>(w, name)->click(); }
  int CurrentRow() const { return editor->SubscriberView()->currentIndex().row(); }

  test::TempFolder programFolder, out;
  int64_t id = 0;
  std::unique_ptr<frmProjectDetail> editor;
};

TEST_F(ListExportFind, ExportWritesTheListToTheChosenFolderInTheChosenFormat) {
  FileDialogs::QueueAnswer(out.Path());
  std::string shownName;
  OpenFromEditor<frmListExport>("cmdExportSubscribers", [&](frmListExport* w) {
    EXPECT_EQ(w->windowTitle().toStdString(), "Subscriber Export");
    shownName = Child<QLineEdit>(w, "txtFilename")->text().toStdString();
    auto* format = Child<QComboBox>(w, "clbFormat");
    ASSERT_EQ(format->count(), 2);
    EXPECT_EQ(format->itemText(0).toStdString(), "Comma Delimited");
    EXPECT_EQ(format->itemText(1).toStdString(), "Tab Delimited");
    EXPECT_EQ(format->currentIndex(), 0);
    Press(w, "cmdFolder");
    EXPECT_EQ(Child<QLineEdit>(w, "txtFolder")->text().toStdString(), out.Path());
    Child<QLineEdit>(w, "txtFilename")->setText("list.txt");
    format->setCurrentIndex(1);
    Press(w, "cmdOK");
    EXPECT_FALSE(w->isVisible());
  });
  EXPECT_TRUE(QRegularExpression("^SubscriberExport_ID" + QString::number(id) + "_\\d{14}\\.txt$")
                  .match(QString::fromStdString(shownName))
                  .hasMatch())
      << shownName;
  const std::string added = FormatGeneralDateTime(45000);
  EXPECT_EQ(test::ReadWholeFile(out.File("list.txt")),
            "SubscriberID\tEmailAddress\tAddedDate\tLastAutoresponderEventID\tLastEventSentTime\tUnsubscribeDate\r\n"
            "1\tann@example.com\t" + added + "\t\t\t\r\n"
            "2\tbob@example.org\t" + added + "\t\t\t\r\n"
            "3\tcarol@example.com\t" + added + "\t\t\t\r\n"
            "4\tdan@example.org\t" + added + "\t\t\t\r\n");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "Export complete to file: " + out.File("list.txt"));
}

TEST_F(ListExportFind, AnExistingFileIsKeptUnlessOverwritingIsConfirmed) {
  test::WriteWholeFile(out.File("list.txt"), "keep me");
  for (const Answer answer : {Answer::No, Answer::Yes}) {
    MessageBoxes::ClearShown();
    MessageBoxes::QueueAnswer(answer);
    OpenFromEditor<frmListExport>("cmdExportSubscribers", [&](frmListExport* w) {
      Child<QLineEdit>(w, "txtFolder")->setText(QString::fromStdString(out.Path()));
      Child<QLineEdit>(w, "txtFilename")->setText("list.txt");
      Press(w, "cmdOK");
      EXPECT_EQ(w->isVisible(), answer == Answer::No);
    });
    ASSERT_GE(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, "The export file you entered already exists.  Do you want to overwrite it?");
    EXPECT_EQ(Boxes()[0].title, "Warning");
    EXPECT_EQ(Boxes()[0].buttons, Buttons::YesNo);
    const std::string content = test::ReadWholeFile(out.File("list.txt"));
    if (answer == Answer::No) {
      EXPECT_EQ(Boxes().size(), 1u);
      EXPECT_EQ(content, "keep me");
    } else {
      EXPECT_EQ(content.rfind("SubscriberID,EmailAddress,", 0), 0u);
    }
  }
}

TEST_F(ListExportFind, AnExportThatCannotBeWrittenIsReportedAndTheWindowStays) {
  OpenFromEditor<frmListExport>("cmdExportSubscribers", [&](frmListExport* w) {
    Child<QLineEdit>(w, "txtFolder")->setText(QString::fromStdString(out.Path() + "/gone"));
    Child<QLineEdit>(w, "txtFilename")->setText("list.txt");
    Press(w, "cmdOK");
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  });
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "Error: cannot create " + out.Path() + "/gone/list.txt: No such file or directory");
  EXPECT_EQ(Boxes()[0].icon, MessageIcon::Critical);
}

TEST_F(ListExportFind, AnExportWithoutAFolderIsRefusedAndWritesNothing) {
  for (const char* folder : {"", "  ", "relative/folder"}) {
    MessageBoxes::ClearShown();
    OpenFromEditor<frmListExport>("cmdExportSubscribers", [&](frmListExport* w) {
      Child<QLineEdit>(w, "txtFolder")->setText(folder);
      Child<QLineEdit>(w, "txtFilename")->setText("ar-export-nowhere.txt");
      Press(w, "cmdOK");
      EXPECT_TRUE(w->isVisible());
    });
    ASSERT_EQ(Boxes().size(), 1u) << folder;
    EXPECT_EQ(Boxes()[0].text, "You must choose a folder for the export file");
  }
  EXPECT_FALSE(std::filesystem::exists("/ar-export-nowhere.txt"));
  EXPECT_FALSE(std::filesystem::exists("relative/folder/ar-export-nowhere.txt"));
}

TEST_F(ListExportFind, FindNextMovesTheGridAndContinuesAfterTheRowFound) {
  OpenFromEditor<frmListFind>("cmdFindSubscribers", [&](frmListFind* w) {
    EXPECT_EQ(w->windowTitle().toStdString(), "Find Email Address");
    auto* fields = Child<QComboBox>(w, "clbFieldList");
    ASSERT_EQ(fields->count(), SubscriberGridModel::kColumns);
    EXPECT_EQ(fields->itemText(1).toStdString(), "Email Address");
    EXPECT_EQ(fields->itemText(5).toStdString(), "Unsubscribe Date");
    EXPECT_EQ(fields->currentIndex(), 1);
    auto* direction = Child<QComboBox>(w, "clbDirection");
    EXPECT_EQ(direction->itemText(0).toStdString(), "Look Forward");
    EXPECT_EQ(direction->itemText(1).toStdString(), "Look Backwad");
    EXPECT_EQ(direction->currentIndex(), 0);

    Child<QLineEdit>(w, "txtValue1")->setText("EXAMPLE.ORG");
    Press(w, "cmdFindNext");
    EXPECT_EQ(CurrentRow(), 1);
    Press(w, "cmdFindNext");
    EXPECT_EQ(CurrentRow(), 3);
    EXPECT_TRUE(Boxes().empty());

    // At the end: the message, and the row stays.
    Press(w, "cmdFindNext");
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, "No more records were found matching that criteria");
    EXPECT_EQ(Boxes()[0].title, "Not Found");
    EXPECT_EQ(Boxes()[0].icon, MessageIcon::Critical);
    EXPECT_EQ(CurrentRow(), 3);

    // Backwards from the row found last, then Find First starts again at the top, forwards.
    direction->setCurrentIndex(1);
    Press(w, "cmdFindNext");
    EXPECT_EQ(CurrentRow(), 1);
    Press(w, "cmdFindFirst");
    EXPECT_EQ(CurrentRow(), 1);
    EXPECT_EQ(direction->currentIndex(), 0);
    Press(w, "cmdFindNext");
    EXPECT_EQ(CurrentRow(), 3);

    // Another column, and a text no row holds.
    fields->setCurrentIndex(0);
    Child<QLineEdit>(w, "txtValue1")->setText("3");
    Press(w, "cmdFindFirst");
    EXPECT_EQ(CurrentRow(), 2);
    EXPECT_EQ(editor->SubscriberView()->currentIndex().column(), SubscriberGridModel::kEmailAddress)
        << "the hidden column's row is shown by its address";
    Child<QLineEdit>(w, "txtValue1")->setText("nobody");
    Press(w, "cmdFindFirst");
    EXPECT_EQ(Boxes().size(), 2u);
    EXPECT_EQ(CurrentRow(), 2);
  });
}

}  // namespace
}  // namespace ar
