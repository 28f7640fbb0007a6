// The import window and its status window, driven by object name on the offscreen
// platform; boxes, file dialogs and waits are answered and recorded.
#include "control/subscribers/SubscriberImport.h"
#include "control/window/autoresponder/frmProjectDetail.h"
#include "control/window/subscribers/SubscriberWindowOpeners.h"
#include "control/window/subscribers/frmImportSubscribers.h"
#include "control/window/subscribers/frmListImportStatus.h"
#include "store/Schema.h"
#include "tests/control/window/ModalWindows.h"
#include "tests/control/window/WindowTest.h"
#include "tests/support/NamedChild.h"
#include "tests/support/TempFolder.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMovie>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>
#include <string>

namespace ar {
namespace {

constexpr const char* kNotFieldNames =
    "The file you selected for importing has invalid characters in the first line which usually means that field "
    "name headers do not exist.  The first line of the text file must include field headers to continue.";

class ImportSubscribers : public test::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    test::OffscreenApplication();
    id = db.AddAutoresponder("Course", true);
    CurrentAutoresponderID() = id;
  }
  ControlContext Context() { return ControlContext{db.Config(), db.Subscribers(), db.Folder(), programFolder.Path()}; }
  frmImportSubscribers& Open() {
    window = std::make_unique<frmImportSubscribers>(Context(), [this] { ++refreshed; });
    window->show();
    return *window;
  }
  std::string File(const std::string& content) {
    const std::string path = files.File("list" + std::to_string(++made) + ".csv");
    test::WriteWholeFile(path, content);
    return path;
  }
  template <typename T>
  T* Find(const char* name) {
    return test::NamedChild<T>(window.get(), name);
  }
  void Click(const char* name) { Find<QPushButton>(name)->click(); }
  // Types a file name and leaves the field, as the operator does.
  void TypeFileName(const std::string& path) {
    QLineEdit* box = Find<QLineEdit>("txtFilename");
    box->clear();
    QTest::keyClicks(box, QString::fromStdString(path));
    QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(box, &leave);
  }
  std::vector<std::string> Fields() {
    std::vector<std::string> names;
    auto* list = Find<QListWidget>("clbEmailAddress");
    for (int i = 0; i < list->count(); ++i) names.push_back(list->item(i)->text().toStdString());
    return names;
  }
  void ChooseField(int row) { Find<QListWidget>("clbEmailAddress")->setCurrentRow(row); }
  std::vector<std::string> Addresses() {
    std::vector<std::string> all;
    for (RowSet r = db.Subscribers().Query("select EmailAddress from " + SubscriberTable(id) + " order by SubscriberID");
         !r.Eof(); r.MoveNext())
      all.push_back(NullToDefault(r.Field("EmailAddress"), "<null>"));
    return all;
  }
  std::vector<std::string> Texts() {
    std::vector<std::string> texts;
    for (const ShownMessage& m : Boxes()) texts.push_back(m.text);
    return texts;
  }
  // A file of the header and `lines` addresses, with an empty line and a repeated address
  // at the start.
  std::string LongFile(std::size_t lines) {
    std::string content = "Email\r\nfirst@example.com\r\n\r\nFIRST@example.com\r\n";
    for (std::size_t i = 3; i < lines; ++i) content += "r" + std::to_string(i) + "@example.com\r\n";
    return File(content);
  }

  test::TempFolder programFolder, files;
  int made = 0;
  int64_t id = 0;
  int refreshed = 0;
  std::unique_ptr<frmImportSubscribers> window;
};

TEST_F(ImportSubscribers, BrowseListsTheFieldsAndRemembersTheFolder) {
  frmImportSubscribers& w = Open();
  EXPECT_EQ(w.windowTitle().toStdString(), "Import Subscribers");
  EXPECT_FALSE(Find<QListWidget>("clbEmailAddress")->isEnabled());
  EXPECT_EQ(Find<QCheckBox>("cbDedupe")->text().toStdString(), "De-dupe the list after the import");

  const std::string path = File("First Name,\"Last, Name\",Email\r\nAnn,Lee,ann@example.com\r\n");
  FileDialogs::QueueAnswer(path);
  Click("cmdBrowse");
  ASSERT_EQ(FileDialogs::Requests().size(), 1u);
  EXPECT_EQ(FileDialogs::Requests()[0].title, "Import A List");
  EXPECT_EQ(FileDialogs::Requests()[0].filter, "CSV (*.csv)|*.csv|Text (*.txt)|*.txt|All|*.*||");
  EXPECT_EQ(Find<QLineEdit>("txtFilename")->text().toStdString(), path);
  EXPECT_EQ(Fields(), (std::vector<std::string>{"First Name", "Last, Name", "Email"}));
  EXPECT_TRUE(Find<QListWidget>("clbEmailAddress")->isEnabled());
  EXPECT_EQ(FileDialogs::RememberedFolder("ImportBrowse"), files.Path() + "/");

  Click("cmdBrowse");  // cancelled: the dialog opened in the remembered folder, nothing changes
  EXPECT_EQ(FileDialogs::Requests()[1].folder, files.Path() + "/");
  EXPECT_EQ(Fields().size(), 3u);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(ImportSubscribers, AFirstLineWithAnAddressOrAMissingFileIsRefusedWhenTheFieldIsLeft) {
  Open();
  TypeFileName(File("Name,Email\nann,ann@example.com\n"));
  ASSERT_EQ(Fields().size(), 2u);

  TypeFileName(File("ann,ann@example.com\nbob,bob@example.com\n"));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, kNotFieldNames);
  EXPECT_EQ(Boxes()[0].icon, MessageIcon::Critical);
  EXPECT_EQ(Find<QLineEdit>("txtFilename")->text().toStdString(), "");
  EXPECT_TRUE(Fields().empty());
  EXPECT_FALSE(Find<QListWidget>("clbEmailAddress")->isEnabled());

  TypeFileName(files.File("none.csv"));
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[1].text, "The file you specified does not exist");
  EXPECT_EQ(Boxes()[1].icon, MessageIcon::Critical);
  EXPECT_FALSE(Find<QListWidget>("clbEmailAddress")->isEnabled());
  EXPECT_TRUE(Addresses().empty());
}

TEST_F(ImportSubscribers, ImportChecksTheNameTheFileAndTheFieldInThatOrder) {
  const std::string path = File("Name,Email\nann,ann@example.com\n");
  const struct {
    std::string typed;
    bool chooseField;
    const char* message;
    const char* focused;
  } cases[] = {
      {"   ", false, "You must enter a file name", "txtFilename"},
      {files.File("none.csv"), true, "The filename selected does not exist", "txtFilename"},
      {path, false, "You must at least map the email address field", "clbEmailAddress"},
  };
  // Each case has the field listed; only the second has it chosen.
  for (const auto& c : cases) {
    Open();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    Find<QLineEdit>("txtFilename")->setText(QString::fromStdString(c.typed));
    Find<QListWidget>("clbEmailAddress")->addItem("Email");
    Find<QListWidget>("clbEmailAddress")->setEnabled(true);
    if (c.chooseField) ChooseField(0);
    MessageBoxes::ClearShown();
    Click("cmdImport");
    ASSERT_EQ(Boxes().size(), 1u) << c.message;
    EXPECT_EQ(Boxes()[0].text, c.message);
    EXPECT_EQ(Boxes()[0].icon, MessageIcon::Critical);
    EXPECT_TRUE(Find<QWidget>(c.focused)->hasFocus()) << c.message;
    EXPECT_TRUE(window->isVisible());
  }
  EXPECT_TRUE(Addresses().empty());
  EXPECT_EQ(refreshed, 0);
}

TEST_F(ImportSubscribers, ImportAddsARowPerLineThenSaysSoAndCloses) {
  Open();
  TypeFileName(File("Name,Email\r\nAnn, ann@example.com\r\n\"Lee, Bob\",bob@example.com\r\nShort\r\n"));
  ChooseField(1);
  Click("cmdImport");
  EXPECT_EQ(Addresses(), (std::vector<std::string>{"ann@example.com", "bob@example.com", ""}));
  EXPECT_EQ(Texts(), std::vector<std::string>{"Import complete."});
  EXPECT_EQ(Boxes()[0].icon, MessageIcon::Information);
  EXPECT_EQ(Pause::Recorded(), std::vector<int>{2000});
  EXPECT_EQ(refreshed, 1);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(window->result(), QDialog::Accepted);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  // A file of only the header still ends with the message.
  MessageBoxes::ClearShown();
  Open();
  TypeFileName(File("Email\r\n"));
  ChooseField(0);
  Click("cmdImport");
  EXPECT_EQ(Texts(), std::vector<std::string>{"Import complete."});
  EXPECT_EQ(Addresses().size(), 3u);
}

TEST_F(ImportSubscribers, DeDupingAfterTheImportLeavesTheFirstRowOfEachAddress) {
  const std::string path = File("Name,Email\nAnn,ann@example.com\nBob,bob@example.com\nShort\nAnn,ANN@example.com\n");
  for (int round = 0; round < 2; ++round) {
    Open();
    TypeFileName(path);
    ChooseField(1);
    Find<QCheckBox>("cbDedupe")->setChecked(true);
    Click("cmdImport");
  }
  RowSet rows = db.Subscribers().Query("select SubscriberID, EmailAddress from " + SubscriberTable(id) +
                                       " order by SubscriberID");
  ASSERT_EQ(rows.Count(), 2u);
  EXPECT_EQ(rows.Field("SubscriberID").AsInteger(), 1);
  EXPECT_EQ(rows.Field("EmailAddress").AsText(), "ann@example.com");
  rows.MoveNext();
  EXPECT_EQ(rows.Field("SubscriberID").AsInteger(), 2);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Import complete.", "Import complete."}));
}

TEST_F(ImportSubscribers, StopAsksAndOnYesKeepsTheRowsReadWithoutDeDupingOrCompletion) {
  const std::size_t batch = SubscriberImport::kBatchRows;
  for (const Answer answer : {Answer::No, Answer::Yes}) {
    DropSubscriberTable(db.Subscribers(), id);
    CreateSubscriberTable(db.Subscribers(), id);
    MessageBoxes::ClearShown();
    Open();
    TypeFileName(LongFile(3 * batch));
    ChooseField(0);
    Find<QCheckBox>("cbDedupe")->setChecked(true);
    MessageBoxes::QueueAnswer(answer);
    const std::size_t pauses = Pause::Recorded().size();
    // Stop is pressed once the first batch is in and its progress is shown.
    QPointer<frmListImportStatus> status;
    std::string progress;
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, [&] {
      status = window->StatusWindow();
      if (!status || !progress.empty()) return;
      progress = status->findChild<QLabel*>("lblStatus")->text().toStdString();
      status->findChild<QPushButton*>("cmdStop")->click();
    });
    stopper.start(0);
    refreshed = 0;
    Click("cmdImport");
    stopper.stop();

    // The first batch is a third of the lines, a little less of the bytes.
    ASSERT_FALSE(progress.empty()) << "Stop was not pressed";
    const int percent = std::stoi(progress);
    EXPECT_EQ(progress, std::to_string(percent) + "% completed");
    EXPECT_GT(percent, 25);
    EXPECT_LE(percent, 33);
    ASSERT_GE(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, "Are you sure you want to stop importing the records?");
    EXPECT_EQ(Boxes()[0].title, "Warning");
    EXPECT_EQ(Boxes()[0].buttons, Buttons::YesNo);
    EXPECT_EQ(refreshed, 1);
    EXPECT_FALSE(window->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(status.isNull()) << "the status window is gone";
    const std::vector<std::string> rows = Addresses();
    if (answer == Answer::No) {
      EXPECT_EQ(Texts().back(), "Import complete.");
      EXPECT_EQ(rows.size(), 3 * batch - 2) << "the import went on and de-duplicated";
    } else {
      EXPECT_EQ(Texts().size(), 1u) << "no completion message";
      ASSERT_EQ(rows.size(), batch) << "every row of the batch read before the stop";
      EXPECT_EQ(rows[1], "") << "no de-duplication";
      EXPECT_EQ(rows[2], "FIRST@example.com");
      EXPECT_EQ(Pause::Recorded().size(), pauses);
    }
  }
}

TEST_F(ImportSubscribers, ClosingEitherWindowDuringAnImportAsksOrWaitsAndNeverEndsTheLoop) {
  const std::size_t batch = SubscriberImport::kBatchRows;
  Open();
  TypeFileName(LongFile(3 * batch));
  ChooseField(0);
  MessageBoxes::QueueAnswer(Answer::No);
  MessageBoxes::QueueAnswer(Answer::Yes);
  bool stillOpen = false;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    QPointer<frmListImportStatus> status = window->StatusWindow();
    if (!status || closer.property("done").toBool()) return;
    closer.setProperty("done", true);
    status->close();   // the close box asks, and No goes on
    window->close();   // the import window waits for its import
    window->reject();  // so does Escape
    stillOpen = status && status->isVisible() && window->isVisible();
    status->reject();  // Escape on the status window asks too: Yes stops
  });
  closer.start(0);
  Click("cmdImport");
  closer.stop();

  EXPECT_TRUE(stillOpen);
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[0].text, "Are you sure you want to stop importing the records?");
  EXPECT_EQ(Boxes()[1].text, "Are you sure you want to stop importing the records?");
  EXPECT_EQ(Addresses().size(), batch) << "the rows read before the stop, and no more";
  EXPECT_FALSE(window->isVisible());
}

TEST_F(ImportSubscribers, TheStatusWindowShowsTheProgramFoldersMovingPicture) {
  frmListImportStatus status(AR_BIN_DIR, nullptr);
  EXPECT_EQ(status.windowTitle().toStdString(), "List Import Status");
  const QMovie* movie = status.findChild<QLabel*>("aniMovingRecords")->movie();
  ASSERT_NE(movie, nullptr);
  EXPECT_GT(movie->frameCount(), 1);
  EXPECT_EQ(movie->state(), QMovie::Running);
}

TEST_F(ImportSubscribers, AFailingImportIsReportedAndTheWindowStaysUsable) {
  Open();
  TypeFileName(File("Email\nann@example.com\n"));
  ChooseField(0);
  DropSubscriberTable(db.Subscribers(), id);
  Click("cmdImport");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text.rfind("Error during import: ", 0), 0u) << Boxes()[0].text;
  EXPECT_NE(Boxes()[0].text.find("no such table"), std::string::npos) << Boxes()[0].text;
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(Find<QPushButton>("cmdImport")->isEnabled());
  EXPECT_TRUE(Find<QPushButton>("cmdCancel")->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  Click("cmdCancel");
  EXPECT_FALSE(window->isVisible());
}

TEST_F(ImportSubscribers, TheEditorOpensItModallyAndShowsTheImportedRows) {
  PutInSubscriberOpeners(Context());
  frmProjectDetail editor(Context());
  editor.show();
  const std::string path = File("Email\nann@example.com\nbob@example.com\n");
  test::WhenModalOpens<frmImportSubscribers>([&](frmImportSubscribers* import) {
    auto* box = import->findChild<QLineEdit*>("txtFilename");
    QTest::keyClicks(box, QString::fromStdString(path));
    QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(box, &leave);
    import->findChild<QListWidget*>("clbEmailAddress")->setCurrentRow(0);
    import->findChild<QPushButton*>("cmdImport")->click();
  });
  editor.findChild<QPushButton*>("cmdImportSubscribers")->click();
  EXPECT_EQ(editor.findChild<QLabel*>("lblTotalSubscribers1")->text().toStdString(), "2");
  EXPECT_EQ(Texts(), std::vector<std::string>{"Import complete."});
}

}  // namespace
}  // namespace ar
