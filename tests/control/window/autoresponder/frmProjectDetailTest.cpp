// The autoresponder editor driven by object name on the offscreen platform, over a data
// folder made from the schema; boxes, waits and the windows it opens are answered and
// recorded.
#include "control/events/Events.h"
#include "control/program/ControlProgram.h"
#include "control/window/autoresponder/frmProjectDetail.h"
#include "control/window/main/frmMain.h"
#include "control/window/subscribers/SubscriberGrid.h"
#include "control/window/subscribers/SubscriberGridModel.h"
#include "store/DataFolder.h"
#include "store/Schema.h"
#include "tests/control/window/WindowTest.h"
#include "tests/support/NamedChild.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestData.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <memory>
#include <vector>

namespace ar {
namespace {

class ProjectDetail : public test::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    test::OffscreenApplication();
    SetTraceFile(db.Folder() + "/debug/trace.log");
    id = db.AddAutoresponder("Course", false);
    MakeFolders(db.Folder() + "/content");
  }
  void TearDown() override {
    editors.clear();
    WindowTest::TearDown();
  }
  ControlContext Context() { return ControlContext{db.Config(), db.Subscribers(), db.Folder(), programFolder.Path()}; }
  frmProjectDetail& Open(int64_t which) {
    CurrentAutoresponderID() = which;
    editors.push_back(std::make_unique<frmProjectDetail>(Context()));
    editors.back()->show();
    MessageBoxes::ClearShown();
    return *editors.back();
  }
  template <typename T>
  static T* Find(frmProjectDetail& editor, const char* name) {
    return test::NamedChild<T>(&editor, name);
  }
  static QLineEdit* Box(frmProjectDetail& e, const char* name) { return Find<QLineEdit>(e, name); }
  static void Click(frmProjectDetail& e, const char* name) { Find<QPushButton>(e, name)->click(); }
  static std::string Text(frmProjectDetail& e, const char* name) {
    if (auto* box = e.findChild<QLineEdit*>(name)) return box->text().toStdString();
    return Find<QLabel>(e, name)->text().toStdString();
  }
  RowSet Row(int64_t which) {
    return db.Config().Query("select * from tblAutoresponders where AutoresponderID=?", {which});
  }
  int64_t AddEvent(const std::string& name, int interval) {
    return test::InsertEvent(db.Config(), id,
                             {{"EventName", name}, {"EventInterval", interval}, {"Active", true},
                              {"FromAddress", "news@example.com"}});
  }
  void AddSubscribers(const std::vector<std::string>& addresses) {
    for (const std::string& a : addresses) test::InsertSubscriber(db.Subscribers(), id, {{"EmailAddress", a}});
  }
  std::vector<std::string> StoredAddresses() {
    std::vector<std::string> all;
    for (RowSet r = db.Subscribers().Query("select EmailAddress from " + SubscriberTable(id) + " order by SubscriberID");
         !r.Eof(); r.MoveNext())
      all.push_back(r.Field("EmailAddress").AsText());
    return all;
  }
  // Types an address into a cell of the subscriber grid and presses Return.
  static void TypeAddress(frmProjectDetail& e, int row, const QString& text) {
    Find<QTabWidget>(e, "tabProjectDetail")->setCurrentIndex(1);
    SubscriberGrid* grid = e.SubscriberView();
    const QModelIndex cell = e.SubscriberModel()->index(row, SubscriberGridModel::kEmailAddress);
    grid->setCurrentIndex(cell);
    grid->edit(cell);
    QLineEdit* editor = OpenEditor(e);
    ASSERT_NE(editor, nullptr);
    editor->setText(text);
    QTest::keyClick(editor, Qt::Key_Return);
    Settle();
  }
  // The grid commits on Return through a queued call, and the editor answers a commit
  // through queued calls of its own.
  static void Settle() {
    for (int round = 0; round < 3; ++round) QCoreApplication::processEvents();
  }
  static QLineEdit* OpenEditor(frmProjectDetail& e) {
    for (QLineEdit* editor : e.SubscriberView()->viewport()->findChildren<QLineEdit*>())
      if (editor->isVisible()) return editor;
    return nullptr;
  }
  // An active autoresponder's editor with text typed into the grid's new-row address cell,
  // its cell editor still open.
  frmProjectDetail& TypeAddressWithoutLeavingTheCell(const std::string& text) {
    db.Config().Execute("update tblAutoresponders set Active=-1");
    frmProjectDetail& e = Open(id);
    Find<QTabWidget>(e, "tabProjectDetail")->setCurrentIndex(1);
    const QModelIndex cell = e.SubscriberModel()->index(0, SubscriberGridModel::kEmailAddress);
    e.SubscriberView()->setCurrentIndex(cell);
    e.SubscriberView()->edit(cell);
    QLineEdit* editor = OpenEditor(e);
    EXPECT_NE(editor, nullptr);
    if (editor) editor->setText(QString::fromStdString(text));
    return e;
  }
  static void SelectEventRow(frmProjectDetail& e, int row) { Find<QTableView>(e, "gridEvents")->selectRow(row); }
  static std::vector<std::string> EventNames(frmProjectDetail& e) {
    std::vector<std::string> names;
    QAbstractItemModel* m = Find<QTableView>(e, "gridEvents")->model();
    for (int r = 0; r < m->rowCount(); ++r) names.push_back(m->index(r, 2).data().toString().toStdString());
    return names;
  }

  test::TempFolder programFolder;
  int64_t id = 0;
  std::vector<std::unique_ptr<frmProjectDetail>> editors;
};

TEST_F(ProjectDetail, LoadsEverySettingAndCloseWritesThemAll) {
  db.Config().Execute(
      "update tblAutoresponders set AutoresponderName='Course', TimeOfDayToRespond='9:00am', Active=-1,"
      " POPServer='pop.example.com:995', POPUsername='ann', POPPassword='s3cret', EnablePOPSSL=-1,"
      " ResponseServerType='IMAP4', ResponseIMAPFolder='Subscribe' where AutoresponderID=?",
      {id});
  frmProjectDetail& e = Open(id);
  EXPECT_EQ(e.windowTitle().toStdString(), "Autoresponder Detail - Course");
  auto* tabs = Find<QTabWidget>(e, "tabProjectDetail");
  ASSERT_EQ(tabs->count(), 2);
  EXPECT_EQ(tabs->tabText(0).toStdString(), "Settings and Events");
  EXPECT_EQ(tabs->tabText(1).toStdString(), "Manage Subscribers");
  EXPECT_EQ(Text(e, "txtAutoreponderName"), "Course");
  EXPECT_EQ(Text(e, "txtTimeOfDayToRespond"), "9:00am");
  EXPECT_TRUE(Find<QCheckBox>(e, "cbActive")->isChecked());
  EXPECT_EQ(Find<QComboBox>(e, "clbResponseServerType")->currentText().toStdString(), "IMAP4");
  EXPECT_EQ(Text(e, "txtResponseIMAPFolder"), "Subscribe");
  EXPECT_EQ(Text(e, "txtPOPServer"), "pop.example.com:995");
  EXPECT_EQ(Text(e, "txtPOPUsername"), "ann");
  EXPECT_EQ(Text(e, "txtPOPPassword"), "s3cret");
  EXPECT_EQ(Box(e, "txtPOPPassword")->echoMode(), QLineEdit::Password) << "the password is never shown";
  EXPECT_TRUE(Find<QCheckBox>(e, "cbEnablePOPSSL")->isChecked());

  Box(e, "txtAutoreponderName")->setText("Course for O'Brien");
  Box(e, "txtTimeOfDayToRespond")->setText("2:30pm");
  Find<QComboBox>(e, "clbResponseServerType")->setCurrentText("POP3");
  Box(e, "txtResponseIMAPFolder")->setText("Other");
  Box(e, "txtPOPServer")->setText("mail.example.org");
  Box(e, "txtPOPUsername")->setText("bob");
  Box(e, "txtPOPPassword")->setText("n3w");
  Find<QCheckBox>(e, "cbEnablePOPSSL")->setChecked(false);
  Click(e, "cmdClose");

  EXPECT_TRUE(Boxes().empty()) << Boxes().front().text;
  EXPECT_FALSE(e.isVisible());
  EXPECT_EQ(Pause::Recorded(), std::vector<int>{2000});
  RowSet row = Row(id);
  EXPECT_EQ(row.Field("AutoresponderName").AsText(), "Course for O'Brien");
  EXPECT_EQ(row.Field("TimeOfDayToRespond").AsText(), "2:30pm");
  EXPECT_EQ(row.Field("Active").AsInteger(), kYes);
  EXPECT_EQ(row.Field("ResponseServerType").AsText(), "POP3");
  EXPECT_EQ(row.Field("ResponseIMAPFolder").AsText(), "Other");
  EXPECT_EQ(row.Field("POPServer").AsText(), "mail.example.org");
  EXPECT_EQ(row.Field("POPUsername").AsText(), "bob");
  EXPECT_EQ(row.Field("POPPassword").AsText(), "n3w");
  EXPECT_EQ(row.Field("EnablePOPSSL").AsInteger(), kNo);
  EXPECT_EQ(test::ReadWholeFile(TraceFile()).find("n3w"), std::string::npos);
}

TEST_F(ProjectDetail, CancelWritesNoSetting) {
  frmProjectDetail& e = Open(id);
  Box(e, "txtAutoreponderName")->setText("Changed");
  Click(e, "cmdCancel");
  EXPECT_FALSE(e.isVisible());
  EXPECT_EQ(Row(id).Field("AutoresponderName").AsText(), "Course");
}

TEST_F(ProjectDetail, CloseOfAnInactiveAutoresponderAsksToActivateIt) {
  for (const Answer answer : {Answer::Yes, Answer::No}) {
    db.Config().Execute("update tblAutoresponders set Active=0");
    frmProjectDetail& e = Open(id);
    MessageBoxes::QueueAnswer(answer);
    Click(e, "cmdClose");
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, "Do you want to make this autoresponder active now?");
    EXPECT_EQ(Boxes()[0].title, "Activate Autoresponder");
    EXPECT_EQ(Boxes()[0].buttons, Buttons::YesNo);
    EXPECT_EQ(Row(id).Field("Active").AsInteger(), answer == Answer::Yes ? kYes : kNo);
    EXPECT_FALSE(e.isVisible());
  }
}

TEST_F(ProjectDetail, TimeOfDayIsWrittenBackOnLeavingTheBox) {
  struct Case {
    const char* typed;
    const char* shown;
    bool refused;
  };
  const Case cases[] = {
      {"9am", "9:00am", false},   {"21:15", "9:15pm", false}, {"0:00", "12:00am", false},
      {"12:00", "12:00pm", false}, {"", "", false},           {"half past nine", "", true},
  };
  frmProjectDetail& e = Open(id);
  QLineEdit* box = Box(e, "txtTimeOfDayToRespond");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    MessageBoxes::ClearShown();
    box->setText(c.typed);
    QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(box, &leave);
    EXPECT_EQ(box->text().toStdString(), c.shown);
    ASSERT_EQ(Boxes().size(), c.refused ? 1u : 0u);
    if (c.refused) {
      EXPECT_EQ(Boxes()[0].text, "Use time format H:MM with am or pm, or 24 hour clock");
      EXPECT_EQ(Boxes()[0].icon, MessageIcon::None);
    }
  }
}

TEST_F(ProjectDetail, ImapFolderShowsOnlyForImapAndIsSavedEitherWay) {
  db.Config().Execute("update tblAutoresponders set ResponseServerType='IMAP4', Active=-1");
  frmProjectDetail& e = Open(id);
  auto* type = Find<QComboBox>(e, "clbResponseServerType");
  QLineEdit* folder = Box(e, "txtResponseIMAPFolder");
  auto* label = Find<QLabel>(e, "lblResponseIMAPFolder");
  ASSERT_EQ(type->count(), 2);
  EXPECT_EQ(type->itemText(0).toStdString(), "POP3");
  EXPECT_EQ(type->itemText(1).toStdString(), "IMAP4");
  EXPECT_TRUE(folder->isVisible());
  EXPECT_TRUE(label->isVisible());
  type->setCurrentText("POP3");
  EXPECT_FALSE(folder->isVisible());
  EXPECT_FALSE(label->isVisible());
  folder->setText("Kept");
  Click(e, "cmdClose");
  EXPECT_EQ(Row(id).Field("ResponseIMAPFolder").AsText(), "Kept");

  db.Config().Execute("update tblAutoresponders set ResponseServerType='POP3'");
  frmProjectDetail& again = Open(id);
  EXPECT_FALSE(Box(again, "txtResponseIMAPFolder")->isVisible());
  Find<QComboBox>(again, "clbResponseServerType")->setCurrentText("IMAP4");
  EXPECT_TRUE(Box(again, "txtResponseIMAPFolder")->isVisible());
}

TEST_F(ProjectDetail, CloseRefusesAnEmptyBlankOrTakenName) {
  db.AddAutoresponder("News", true);
  struct Case {
    const char* name;
    const char* message;
    const char* title;
  };
  const Case cases[] = {
      {"", "You must have an autoresponder name", "Autoresponder"},
      {"   ", "You must have an autoresponder name", "Autoresponder"},
      {"News", "The new Autoresponder name specified already exists", "Error"},
      {"nEWS", "The new Autoresponder name specified already exists", "Error"},
  };
  frmProjectDetail& e = Open(id);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("'") + c.name + "'");
    MessageBoxes::ClearShown();
    Box(e, "txtAutoreponderName")->setText(c.name);
    Click(e, "cmdClose");
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, c.message);
    EXPECT_EQ(Boxes()[0].title, c.title);
    EXPECT_EQ(Boxes()[0].icon, MessageIcon::Critical);
    EXPECT_TRUE(e.isVisible());
    EXPECT_EQ(Row(id).Field("AutoresponderName").AsText(), "Course");
  }
}

TEST_F(ProjectDetail, EditorKeepsTheAutoresponderItWasOpenedOn) {
  const int64_t other = db.AddAutoresponder("Other", true);
  const int64_t event = AddEvent("Welcome", 0);
  frmProjectDetail& e = Open(id);
  frmProjectDetail& second = Open(other);
  CurrentAutoresponderID() = other + 100;  // the list's Run now on yet another row

  std::vector<long> seen;
  auto record = [&seen](QWidget*) { seen.push_back(CurrentAutoresponderID()); };
  Openers().eventDetail = record;
  Openers().importSubscribers = record;
  Openers().exportSubscribers = record;
  Openers().findSubscribers = record;
  SelectEventRow(e, 0);
  for (const char* button : {"cmdEditEvents", "cmdImportSubscribers", "cmdExportSubscribers", "cmdFindSubscribers"}) {
    CurrentAutoresponderID() = other;
    Click(e, button);
  }
  EXPECT_EQ(seen, (std::vector<long>{id, id, id, id}));
  EXPECT_EQ(CurrentAutoresponderEventID(), event);

  Box(e, "txtAutoreponderName")->setText("Course renamed");
  Box(e, "txtPOPPassword")->setText("course password");
  MessageBoxes::QueueAnswer(Answer::No);  // left inactive
  Click(e, "cmdClose");
  Box(second, "txtAutoreponderName")->setText("Other renamed");
  Click(second, "cmdClose");
  EXPECT_EQ(Row(id).Field("AutoresponderName").AsText(), "Course renamed");
  EXPECT_EQ(Row(id).Field("POPPassword").AsText(), "course password");
  EXPECT_EQ(Row(other).Field("AutoresponderName").AsText(), "Other renamed");
  EXPECT_EQ(Row(other).Field("POPPassword").AsText(), "secret");
}

TEST_F(ProjectDetail, MailboxTestNeedsServerUserAndPasswordAndGetsThemAsTyped) {
  std::vector<MailboxTestSettings> handed;
  Openers().mailboxTest = [&handed](QWidget*, const MailboxTestSettings& s) { handed.push_back(s); };
  frmProjectDetail& e = Open(id);
  struct Case {
    const char *server, *user, *password, *message;
  };
  const Case cases[] = {
      {"", "", "", "You must specify a POP server"},
      {"imap.example.com:993", "", "pw", "You must specify a username"},
      {"imap.example.com:993", "ann", "", "You must specify a password"},
  };
  for (const Case& c : cases) {
    MessageBoxes::ClearShown();
    Box(e, "txtPOPServer")->setText(c.server);
    Box(e, "txtPOPUsername")->setText(c.user);
    Box(e, "txtPOPPassword")->setText(c.password);
    Click(e, "cmdTestPOPServer");
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, c.message);
    EXPECT_EQ(Boxes()[0].icon, MessageIcon::None);
  }
  EXPECT_TRUE(handed.empty());

  MessageBoxes::ClearShown();
  Box(e, "txtPOPPassword")->setText("pw");
  Find<QComboBox>(e, "clbResponseServerType")->setCurrentText("IMAP4");
  Find<QCheckBox>(e, "cbEnablePOPSSL")->setChecked(true);
  Click(e, "cmdTestPOPServer");
  EXPECT_TRUE(Boxes().empty());
  ASSERT_EQ(handed.size(), 1u);
  EXPECT_EQ(handed[0].serverType, "IMAP4");
  EXPECT_EQ(handed[0].server, "imap.example.com:993");
  EXPECT_EQ(handed[0].username, "ann");
  EXPECT_EQ(handed[0].password, "pw");
  EXPECT_TRUE(handed[0].tls);
  EXPECT_EQ(Row(id).Field("POPServer").AsText(), "") << "nothing is saved";
}

TEST_F(ProjectDetail, NewEventIsAddedSelectedAndOpenedInTheEventEditor) {
  AddEvent("Welcome", 0);
  std::vector<long> opened;
  Openers().eventDetail = [&opened](QWidget*) { opened.push_back(CurrentAutoresponderEventID()); };
  frmProjectDetail& e = Open(id);

  MessageBoxes::QueueInput(std::nullopt);
  Click(e, "cmdNew");
  MessageBoxes::QueueInput("   ");
  Click(e, "cmdNew");
  EXPECT_EQ(EventNames(e), std::vector<std::string>{"Welcome"});
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[0].text, "Enter the name of the new message");
  EXPECT_EQ(Boxes()[0].title, "New Message");
  EXPECT_TRUE(Boxes()[0].input);

  MessageBoxes::ClearShown();
  MessageBoxes::QueueInput("  Ann's tips ");
  Click(e, "cmdNew");
  ASSERT_EQ(opened.size(), 1u);
  const int64_t created = opened[0];
  EXPECT_EQ(EventNames(e), (std::vector<std::string>{"Welcome", "Ann's tips"}));
  auto* grid = Find<QTableView>(e, "gridEvents");
  const QModelIndexList selected = grid->selectionModel()->selectedRows();
  ASSERT_EQ(selected.size(), 1);
  EXPECT_EQ(selected[0].row(), 1);
  EXPECT_EQ(grid->model()->index(1, 4).data().toString().toStdString(), "No");
  EXPECT_EQ(grid->model()->index(1, 3).data().toString().toStdString(), "0");
  EXPECT_TRUE(FileExists(EventContentFilePath(db.Folder(), created)));
  EXPECT_EQ(db.Config().Scalar("select FromAddress from tblAutoresponderEvents where AutoresponderEventID=?",
                               {created}).AsText(),
            "news@example.com");

  MessageBoxes::ClearShown();
  MessageBoxes::QueueInput("ANN'S TIPS");
  Click(e, "cmdNew");
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[1].text, "That message name is already being used");
  EXPECT_EQ(Boxes()[1].title, "Error");
  EXPECT_EQ(Boxes()[1].icon, MessageIcon::Critical);
  EXPECT_EQ(opened.size(), 1u);
}

TEST_F(ProjectDetail, EditAndDeleteNeedASelectedEvent) {
  AddEvent("Welcome", 0);
  int opened = 0;
  Openers().eventDetail = [&opened](QWidget*) { ++opened; };
  frmProjectDetail& e = Open(id);
  Click(e, "cmdEditEvents");
  Click(e, "cmdDeleteEvent");
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[0].text, "You must select event to edit");
  EXPECT_EQ(Boxes()[1].text, "You must select event to delete");
  for (const ShownMessage& box : Boxes()) EXPECT_EQ(box.icon, MessageIcon::Critical);
  EXPECT_EQ(opened, 0);
  EXPECT_EQ(EventNames(e).size(), 1u);
}

TEST_F(ProjectDetail, DeleteEventAsksThenRemovesRowAndContentFile) {
  const int64_t welcome = AddEvent("Welcome", 0);
  const int64_t tips = AddEvent("Tips", 1);  // no content file
  const int64_t offer = AddEvent("Offer", 7);
  for (int64_t event : {welcome, offer}) test::WriteWholeFile(EventContentFilePath(db.Folder(), event), "body");
  frmProjectDetail& e = Open(id);

  SelectEventRow(e, 0);
  MessageBoxes::QueueAnswer(Answer::No);
  Click(e, "cmdDeleteEvent");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "Are you sure you want to delete \"Welcome\"");
  EXPECT_EQ(Boxes()[0].title, "Confirm Delete");
  EXPECT_EQ(Boxes()[0].buttons, Buttons::YesNo);
  EXPECT_EQ(EventNames(e).size(), 3u);
  EXPECT_TRUE(FileExists(EventContentFilePath(db.Folder(), welcome)));

  for (int n = 0; n < 2; ++n) {
    SelectEventRow(e, 0);
    MessageBoxes::QueueAnswer(Answer::Yes);
    Click(e, "cmdDeleteEvent");
  }
  EXPECT_EQ(EventNames(e), std::vector<std::string>{"Offer"});
  EXPECT_FALSE(FileExists(EventContentFilePath(db.Folder(), welcome)));
  EXPECT_TRUE(FileExists(EventContentFilePath(db.Folder(), offer)));
  EXPECT_EQ(db.Config().Scalar("select count(*) from tblAutoresponderEvents where AutoresponderEventID=?", {tips})
                .AsInteger(),
            0);
  EXPECT_EQ(Pause::Recorded(), (std::vector<int>{2000, 2000}));
}

TEST_F(ProjectDetail, ReloadingEventsKeepsTheSelectedEvent) {
  AddEvent("Welcome", 0);
  const int64_t tips = AddEvent("Tips", 3);
  frmProjectDetail& e = Open(id);
  SelectEventRow(e, 1);
  AddEvent("Earlier", 0);
  e.ReloadEvents();
  EXPECT_EQ(EventNames(e), (std::vector<std::string>{"Welcome", "Earlier", "Tips"}));
  auto* grid = Find<QTableView>(e, "gridEvents");
  ASSERT_EQ(grid->selectionModel()->selectedRows().size(), 1);
  EXPECT_EQ(grid->selectionModel()->selectedRows()[0].row(), 2);
  db.Config().Execute("delete from tblAutoresponderEvents where AutoresponderEventID=?", {tips});
  e.ReloadEvents();
  EXPECT_TRUE(grid->selectionModel()->selectedRows().isEmpty());
}

TEST_F(ProjectDetail, TotalsCountEverySubscriberRow) {
  AddSubscribers({"a@example.com", "b@example.com", "c@example.com"});
  db.Subscribers().Execute("update " + SubscriberTable(id) + " set UnsubscribeDate=1 where EmailAddress='b@example.com'");
  frmProjectDetail& e = Open(id);
  EXPECT_EQ(Text(e, "lblTotalSubscribers"), "3");
  EXPECT_EQ(Text(e, "lblTotalSubscribers1"), "3");
  EXPECT_EQ(e.SubscriberModel()->rowCount(), 4) << "three rows and the line for a new one";
  AddSubscribers({"d@example.com"});
  e.ReloadSubscribers();
  EXPECT_EQ(Text(e, "lblTotalSubscribers1"), "4");
}

TEST_F(ProjectDetail, NewRowLineStoresTheAddressPartAndWaitsForTheNext) {
  frmProjectDetail& e = Open(id);
  TypeAddress(e, 0, "Ann Smith <ann@example.com>");
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(StoredAddresses(), std::vector<std::string>{"ann@example.com"});
  EXPECT_EQ(Text(e, "lblTotalSubscribers"), "1");
  EXPECT_EQ(Text(e, "lblTotalSubscribers1"), "1");
  EXPECT_TRUE(e.SubscriberView()->Editing());
  EXPECT_EQ(e.SubscriberView()->currentIndex().row(), 1) << "the cursor is on the new line again";
  EXPECT_EQ(e.SubscriberModel()->index(0, SubscriberGridModel::kEmailAddress).data().toString().toStdString(),
            "ann@example.com");

  // New subscriber commits what is being typed and opens the new line again.
  QLineEdit* editor = OpenEditor(e);
  ASSERT_NE(editor, nullptr);
  editor->setText("bob@example.com");
  Click(e, "cmdNewSubscriber");
  Settle();
  EXPECT_EQ(StoredAddresses(), (std::vector<std::string>{"ann@example.com", "bob@example.com"}));
  EXPECT_TRUE(e.SubscriberView()->Editing());
  EXPECT_EQ(e.SubscriberView()->currentIndex().row(), 2);
}

TEST_F(ProjectDetail, GridRefusesInvalidAndEmptyAddresses) {
  AddSubscribers({"ann@example.com"});
  frmProjectDetail& e = Open(id);
  struct Case {
    int row;
    const char* typed;
    const char* message;
    const char* title;
    MessageIcon icon;
  };
  const Case cases[] = {
      {1, "not an address", "The email address you entered seems to be in an invalid format", "Autoresponder",
       MessageIcon::None},
      {0, "ann@example", "The email address you entered seems to be in an invalid format", "Autoresponder",
       MessageIcon::None},
      {0, "   ", "You must enter an email address to save", "Error", MessageIcon::Critical},
      {0, "", "You must enter an email address to save", "Error", MessageIcon::Critical},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    MessageBoxes::ClearShown();
    TypeAddress(e, c.row, c.typed);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, c.message);
    EXPECT_EQ(Boxes()[0].title, c.title);
    EXPECT_EQ(Boxes()[0].icon, c.icon);
    EXPECT_EQ(StoredAddresses(), std::vector<std::string>{"ann@example.com"});
    // Back in the cell, with what was typed there to be put right.
    EXPECT_EQ(e.SubscriberView()->currentIndex().row(), c.row);
    QLineEdit* editor = OpenEditor(e);
    ASSERT_NE(editor, nullptr);
    if (*c.message == 'T') {
      EXPECT_EQ(editor->text().toStdString(), c.typed);
    }
    QTest::keyClick(editor, Qt::Key_Escape);
  }
  TypeAddress(e, 0, "ann.smith@example.com");
  EXPECT_EQ(StoredAddresses(), std::vector<std::string>{"ann.smith@example.com"});
}

TEST_F(ProjectDetail, DeleteSubscribersAsksForOneOrAGroup) {
  AddSubscribers({"a@example.com", "b@example.com", "c@example.com", "d@example.com", "e@example.com"});
  frmProjectDetail& e = Open(id);
  SubscriberGrid* grid = e.SubscriberView();
  Click(e, "cmdDeleteSubscriber");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "You must select a record to delete first");
  EXPECT_EQ(Boxes()[0].title, "Error");
  EXPECT_EQ(Boxes()[0].icon, MessageIcon::Critical);

  MessageBoxes::ClearShown();
  grid->selectRow(1);
  MessageBoxes::QueueAnswer(Answer::No);
  Click(e, "cmdDeleteSubscriber");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "Are you sure you want to delete this record?");
  EXPECT_EQ(Boxes()[0].title, "Confirm Deletion");
  EXPECT_EQ(Boxes()[0].buttons, Buttons::YesNo);
  EXPECT_EQ(StoredAddresses().size(), 5u);

  MessageBoxes::QueueAnswer(Answer::Yes);
  QTest::keyClick(grid, Qt::Key_Delete);  // the Delete key does the same
  EXPECT_EQ(StoredAddresses(), (std::vector<std::string>{"a@example.com", "c@example.com", "d@example.com",
                                                          "e@example.com"}));
  EXPECT_EQ(Text(e, "lblTotalSubscribers"), "4");

  MessageBoxes::ClearShown();
  grid->selectRow(0);
  grid->selectionModel()->select(e.SubscriberModel()->index(2, 0),
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
  grid->selectionModel()->select(e.SubscriberModel()->index(4, 0),  // the new line is not a subscriber
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
  MessageBoxes::QueueAnswer(Answer::Yes);
  Click(e, "cmdDeleteSubscriber");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "Are you sure you want to delete this group?");
  EXPECT_EQ(StoredAddresses(), (std::vector<std::string>{"c@example.com", "e@example.com"}));
  EXPECT_EQ(Text(e, "lblTotalSubscribers"), "2");
  EXPECT_EQ(Text(e, "lblTotalSubscribers1"), "2");
}

TEST_F(ProjectDetail, CloseStoresTheAddressBeingTyped) {
  frmProjectDetail& e = TypeAddressWithoutLeavingTheCell("typed@example.com");
  Click(e, "cmdClose");
  EXPECT_EQ(StoredAddresses(), std::vector<std::string>{"typed@example.com"});
  EXPECT_FALSE(e.isVisible());
}

TEST_F(ProjectDetail, CloseStopsWhileTheAddressBeingTypedIsRefused) {
  frmProjectDetail& e = TypeAddressWithoutLeavingTheCell("nonsense");
  Box(e, "txtAutoreponderName")->setText("Not saved yet");
  Click(e, "cmdClose");
  Settle();
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "The email address you entered seems to be in an invalid format");
  EXPECT_TRUE(e.isVisible());
  EXPECT_EQ(Row(id).Field("AutoresponderName").AsText(), "Course");
  EXPECT_TRUE(StoredAddresses().empty());
}

TEST_F(ProjectDetail, OneEditorPerAutoresponderInTheFrame) {
  const int64_t other = db.AddAutoresponder("Other", true);
  QMdiArea area;
  area.show();
  for (int64_t which : {id, other, id}) {
    CurrentAutoresponderID() = which;
    OpenProjectDetail(area, Context());
  }
  const QList<QMdiSubWindow*> frames = area.subWindowList();
  ASSERT_EQ(frames.size(), 2);
  EXPECT_EQ(frames[0]->windowTitle().toStdString(), "Autoresponder Detail - Course");
  EXPECT_EQ(frames[1]->windowTitle().toStdString(), "Autoresponder Detail - Other") << "each editor says whose it is";
  EXPECT_EQ(area.activeSubWindow(), frames[0]) << "the open editor comes to the front";
  EXPECT_EQ(qobject_cast<frmProjectDetail*>(frames[1]->widget())->AutoresponderID(), other);

  // Cancel closes the frame with the editor.
  Click(*qobject_cast<frmProjectDetail*>(frames[1]->widget()), "cmdCancel");
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(area.subWindowList().size(), 1);
}

TEST_F(ProjectDetail, MainWindowOpensTheEditorInItsFrame) {
  QtOperatorMessages messages;
  ControlProgram program("", messages, log, starter);
  ASSERT_TRUE(program.StartUp());
  frmMain main(program);
  CurrentAutoresponderID() = id;
  ASSERT_TRUE(Openers().projectDetail);
  Openers().projectDetail(&main);
  // Beside the autoresponder list, which the frame shows from the start.
  frmProjectDetail* editor = nullptr;
  for (QMdiSubWindow* frame : main.Area()->subWindowList())
    if (auto* found = qobject_cast<frmProjectDetail*>(frame->widget())) editor = found;
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->AutoresponderID(), id);
  EXPECT_EQ(Text(*editor, "txtAutoreponderName"), "Course");
}

}  // namespace
}  // namespace ar
