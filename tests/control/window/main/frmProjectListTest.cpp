// The autoresponder list inside the real main window on the offscreen platform, driven
// by object name; boxes are answered, waits instant, the processor start recorded.
#include "control/window/main/frmMain.h"
#include "control/window/main/frmProjectList.h"
#include "control/window/settings/frmBlackoutDays.h"
#include "control/window/settings/frmBlackoutDaysNew.h"
#include "store/DataFolder.h"
#include "store/Schema.h"
#include "tests/control/window/ModalWindows.h"
#include "tests/control/window/WindowTest.h"
#include "tests/support/ClockGuard.h"
#include "tests/support/TestData.h"
#include "widgets/CustomButton.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <gmock/gmock.h>
#include <memory>
#include <sys/stat.h>

namespace ar {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

class ProjectList : public test::WindowTest {
 protected:
  void Start() {
    test::OffscreenApplication();
    program = std::make_unique<ControlProgram>("", messages, log, starter);
    ASSERT_TRUE(program->StartUp());
    window = std::make_unique<frmMain>(*program);
    messages.SetParent(window.get());
    window->show();
    // Start-up compacts the files under the fixture's own connections.
    db.Reopen();
    list = window->findChild<frmProjectList*>("frmProjectList");
    ASSERT_NE(list, nullptr);
    grid = list->findChild<QTableView*>("gridAutoresponders");
    ASSERT_NE(grid, nullptr);
    MessageBoxes::ClearShown();
  }
  void TearDown() override {
    window.reset();
    program.reset();
    WindowTest::TearDown();
  }

  CustomButton* Button(const char* name) {
    auto* button = list->findChild<CustomButton*>(name);
    EXPECT_NE(button, nullptr) << name;
    return button;
  }
  void Click(const char* name) {
    if (CustomButton* button = Button(name)) QTest::mouseClick(button, Qt::LeftButton);
  }
  // The keys go through the main window's shortcuts, as they do for the operator, only
  // while it is the active window.
  void PressAlt(Qt::Key key) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    grid->setFocus();
    QTest::keyClick(grid, key, Qt::AltModifier);
  }
  void Tick() { QMetaObject::invokeMethod(list->findChild<QTimer*>("timerRefresh"), "timeout", Qt::DirectConnection); }

  int RowOf(int64_t id) {
    for (int row = 0; row < grid->model()->rowCount(); ++row)
      if (grid->model()->index(row, 0).data().toLongLong() == id) return row;
    return -1;
  }
  std::string Cell(int64_t id, int column) {
    return grid->model()->index(RowOf(id), column).data().toString().toStdString();
  }
  void SelectRow(int64_t id) { grid->selectRow(RowOf(id)); }
  std::optional<int64_t> SelectedId() {
    const QModelIndexList rows = grid->selectionModel()->selectedRows();
    if (rows.isEmpty()) return std::nullopt;
    return grid->model()->index(rows.front().row(), 0).data().toLongLong();
  }
  int64_t Count(const std::string& sql, const Params& params = {}) {
    return db.Config().Scalar(sql, params).AsInteger();
  }
  bool TableExists(int64_t id) {
    return !db.Subscribers()
                .Query("select name from sqlite_master where type='table' and name=?", {std::to_string(id)})
                .Eof();
  }
  int64_t AddEvent(int64_t autoresponder, const std::string& name) {
    return test::InsertEvent(db.Config(), autoresponder, {{"EventName", name}, {"EventInterval", 1}, {"Active", true}});
  }
  void AddSubscriber(int64_t autoresponder, const Value& unsubscribed = Null{}) {
    test::InsertSubscriber(db.Subscribers(), autoresponder,
                           {{"EmailAddress", "a@example.com"}, {"UnsubscribeDate", unsubscribed}});
  }

  QtOperatorMessages messages;
  std::unique_ptr<ControlProgram> program;
  std::unique_ptr<frmMain> window;
  frmProjectList* list = nullptr;
  QTableView* grid = nullptr;
};

TEST_F(ProjectList, ShownAtStartUpWithItsColumnsScheduleCountsAndRedInactiveRows) {
  const int64_t daily = db.AddAutoresponder("Daily", true);
  db.Config().Execute("update tblAutoresponders set TimeOfDayToRespond='9:00am', LastStatus='OK' where AutoresponderID=?",
                      {daily});
  const int64_t eachRun = db.AddAutoresponder("Each run", true);
  const int64_t resting = db.AddAutoresponder("Resting", false);
  const int64_t unknown = db.AddAutoresponder("Never set", true);
  db.Config().Execute("update tblAutoresponders set Active=NULL, TimeOfDayToRespond=NULL where AutoresponderID=?",
                      {unknown});
  AddSubscriber(daily);
  AddSubscriber(daily);
  AddSubscriber(daily, test::Day(2026, 1, 2));  // unsubscribed: not counted
  Start();

  EXPECT_EQ(list->windowTitle().toStdString(), "Autoresponder Management");
  auto* frame = qobject_cast<QMdiSubWindow*>(list->parentWidget());
  ASSERT_NE(frame, nullptr) << "a child window of the main frame";
  EXPECT_EQ(frame->mdiArea(), window->Area());
  EXPECT_EQ(frame->pos(), QPoint(0, 0));
  EXPECT_TRUE(list->isVisible());

  const std::vector<std::string> captions = {"ID", "Autoresponder Name", "Schedule", "Subscribers", "Last Status", "Active"};
  ASSERT_EQ(grid->model()->columnCount(), 6);
  for (int c = 0; c < 6; ++c) {
    EXPECT_EQ(grid->model()->headerData(c, Qt::Horizontal).toString().toStdString(), captions[c]);
    EXPECT_EQ(grid->isColumnHidden(c), c == 5) << captions[c];
  }
  EXPECT_EQ(grid->selectionMode(), QAbstractItemView::SingleSelection);

  struct Row {
    int64_t id;
    std::string name, schedule, subscribers, status;
    bool red;
  };
  for (const Row& r : {Row{daily, "Daily", "9:00am", "2", "OK", false}, Row{eachRun, "Each run", "Run next cycle", "0", "", false},
                       Row{resting, "Resting", "Not Active", "0", "", true}, Row{unknown, "Never set", "Not Active", "0", "", true}}) {
    SCOPED_TRACE(r.name);
    ASSERT_GE(RowOf(r.id), 0);
    EXPECT_EQ(Cell(r.id, 1), r.name);
    EXPECT_EQ(Cell(r.id, 2), r.schedule);
    EXPECT_EQ(Cell(r.id, 3), r.subscribers);
    EXPECT_EQ(Cell(r.id, 4), r.status);
    for (int c = 0; c < 5; ++c) {
      const QVariant colour = grid->model()->index(RowOf(r.id), c).data(Qt::ForegroundRole);
      if (r.red) EXPECT_EQ(colour.value<QColor>(), QColor(255, 0, 0)) << c;
      else EXPECT_FALSE(colour.isValid()) << c;
    }
  }
}

TEST_F(ProjectList, NewCreatesAnInactiveAutoresponderWithItsTableAndOpensTheEditor) {
  Start();
  std::vector<long> edited;
  Openers().projectDetail = [&](QWidget* from) {
    EXPECT_EQ(from, list);
    edited.push_back(CurrentAutoresponderID());
  };
  MessageBoxes::QueueInput(std::string("  Spring Course  "));
  Click("cmdNew");

  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_TRUE(Boxes()[0].input);
  EXPECT_EQ(Boxes()[0].text, "Please enter the name of the new Autoresponder");
  EXPECT_EQ(Boxes()[0].title, "New Autoresponder");
  EXPECT_EQ(Boxes()[0].defaultText, "");
  RowSet row = db.Config().Query("select * from tblAutoresponders");
  ASSERT_EQ(row.Count(), 1u);
  const int64_t id = row.Field("AutoresponderID").AsInteger();
  EXPECT_EQ(row.Field("AutoresponderName").AsText(), "Spring Course");
  EXPECT_EQ(row.Field("TimeOfDayToRespond").AsText(), "9:00am");
  EXPECT_EQ(row.Field("Active").AsInteger(), 0);
  EXPECT_TRUE(TableExists(id));
  EXPECT_THAT(Pause::Recorded(), ElementsAre(2000));
  EXPECT_THAT(edited, ElementsAre(id));
  EXPECT_EQ(SelectedId(), id);
  EXPECT_EQ(Cell(id, 2), "Not Active");

  // A name that differs only in letter case is refused, without a second prompt.
  struct Refused {
    std::optional<std::string> typed;
    bool refusedBox;
  };
  for (const Refused& r : {Refused{std::string("spring COURSE"), true}, Refused{std::string("   "), false},
                           Refused{std::nullopt, false}}) {
    SCOPED_TRACE(r.typed.value_or("(cancel)"));
    MessageBoxes::ClearShown();
    MessageBoxes::QueueInput(r.typed);
    Click("cmdNew");
    ASSERT_EQ(Boxes().size(), r.refusedBox ? 2u : 1u);
    if (r.refusedBox) {
      EXPECT_EQ(Boxes()[1].text, "That Autoresponder name is already being used");
      EXPECT_EQ(Boxes()[1].title, "Error");
      EXPECT_EQ(Boxes()[1].icon, MessageIcon::Critical);
    }
    EXPECT_EQ(Count("select count(*) from tblAutoresponders"), 1);
    EXPECT_EQ(edited.size(), 1u);
  }
}

TEST_F(ProjectList, ASubscriberTableThatCannotBeMadeIsShownAndTheAutoresponderStays) {
  // The table the next autoresponder would get exists already.
  db.Subscribers().Execute("create table [1] (x)");
  Start();
  int editorOpened = 0;
  Openers().projectDetail = [&](QWidget*) { ++editorOpened; };
  MessageBoxes::QueueInput(std::string("Course"));
  Click("cmdNew");
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_THAT(Boxes()[1].text, StartsWith("Error: "));
  EXPECT_THAT(Boxes()[1].text, HasSubstr("already exists"));
  EXPECT_EQ(Boxes()[1].icon, MessageIcon::None);
  EXPECT_EQ(Count("select count(*) from tblAutoresponders where AutoresponderName='Course'"), 1);
  EXPECT_GE(RowOf(1), 0);
  EXPECT_EQ(editorOpened, 1);
}

TEST_F(ProjectList, EditAndDoubleClickOpenTheEditorOnTheSelectedRow) {
  db.AddAutoresponder("First", true);
  const int64_t second = db.AddAutoresponder("Second", true);
  Start();
  std::vector<long> edited;
  Openers().projectDetail = [&](QWidget*) { edited.push_back(CurrentAutoresponderID()); };
  SelectRow(second);
  Click("cmdEdit");
  const QPoint cell = grid->visualRect(grid->model()->index(RowOf(second), 1)).center();
  grid->clearSelection();
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell);
  QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell);
  EXPECT_THAT(edited, ElementsAre(second, second));
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(ProjectList, CopyGivesAnInactiveCopyOfTheSettingsWithoutEventsOrSubscribers) {
  const int64_t source = db.AddAutoresponder("Course", true, "pop.example.com");
  db.Config().Execute("update tblAutoresponders set TimeOfDayToRespond='2:30pm', LastStatus='OK', LastRespondTime=?,"
                      " EnablePOPSSL=-1, ResponseServerType='IMAP4', ResponseIMAPFolder='Lists' where AutoresponderID=?",
                      {test::Day(2026, 2, 1, 14, 31), source});
  AddEvent(source, "Welcome");
  AddSubscriber(source);
  db.AddAutoresponder("Taken", false);
  Start();

  SelectRow(source);
  MessageBoxes::QueueInput(std::string("TAKEN"));
  MessageBoxes::QueueInput(std::string("Course copy"));
  Click("cmdCopy");

  ASSERT_EQ(Boxes().size(), 3u);
  EXPECT_EQ(Boxes()[0].text, "Copy 'Course' to:");
  EXPECT_EQ(Boxes()[0].title, "Copy Autoresponder");
  EXPECT_EQ(Boxes()[1].text, "The new Autoresponder name you specificed already exists");
  EXPECT_EQ(Boxes()[1].title, "Error");
  EXPECT_EQ(Boxes()[1].icon, MessageIcon::Critical);
  EXPECT_TRUE(Boxes()[2].input) << "asked again";

  RowSet from = db.Config().Query("select * from tblAutoresponders where AutoresponderID=?", {source});
  RowSet copy = db.Config().Query("select * from tblAutoresponders where AutoresponderName='Course copy'");
  ASSERT_EQ(copy.Count(), 1u);
  const int64_t id = copy.Field("AutoresponderID").AsInteger();
  for (const char* column : {"TimeOfDayToRespond", "LastRespondTime", "LastStatus", "POPServer", "POPUsername",
                             "POPPassword", "EnablePOPSSL", "ResponseServerType", "ResponseIMAPFolder"})
    EXPECT_EQ(copy.Field(column), from.Field(column)) << column;
  EXPECT_EQ(copy.Field("Active").AsInteger(), 0) << "the copy reads no mailbox until activated";
  EXPECT_EQ(from.Field("Active").AsInteger(), -1);
  EXPECT_EQ(Count("select count(*) from tblAutoresponderEvents where AutoresponderID=?", {id}), 0);
  ASSERT_TRUE(TableExists(id));
  EXPECT_EQ(db.Subscribers().Scalar("select count(*) from " + SubscriberTable(id)).AsInteger(), 0);
  EXPECT_EQ(SelectedId(), id);
  EXPECT_THAT(Pause::Recorded(), ElementsAre(2000));
}

TEST_F(ProjectList, RenameAcceptsItsOwnNameAndRefusesAnothers) {
  const int64_t course = db.AddAutoresponder("Course", true);
  db.AddAutoresponder("Other", true);
  Start();
  SelectRow(course);
  MessageBoxes::QueueInput(std::string("other"));
  MessageBoxes::QueueInput(std::string("COURSE"));
  Click("cmdRename");

  ASSERT_EQ(Boxes().size(), 3u);
  EXPECT_EQ(Boxes()[0].text, "Rename 'Course' to:");
  EXPECT_EQ(Boxes()[0].title, "Rename Autoresponder");
  EXPECT_EQ(Boxes()[1].text, "The new Autoresponder name specified already exists");
  EXPECT_EQ(Boxes()[1].title, "Error");
  EXPECT_EQ(db.Config().Scalar("select AutoresponderName from tblAutoresponders where AutoresponderID=?", {course}).AsText(),
            "COURSE");
  EXPECT_EQ(Cell(course, 1), "COURSE");
  EXPECT_EQ(SelectedId(), course);
  EXPECT_THAT(Pause::Recorded(), ElementsAre(2000));
}

TEST_F(ProjectList, NamesWithApostrophesWorkInNewCopyAndRename) {
  Start();
  MessageBoxes::QueueInput(std::string("O'Brien's Course"));
  Click("cmdNew");
  const int64_t id = CurrentAutoresponderID();
  ASSERT_EQ(Cell(id, 1), "O'Brien's Course");

  // The name check sees the apostrophe too.
  MessageBoxes::QueueInput(std::string("o'brien's course"));
  Click("cmdNew");
  EXPECT_EQ(Boxes().back().text, "That Autoresponder name is already being used");

  SelectRow(id);
  MessageBoxes::QueueInput(std::string("Ann's 'best' list"));
  Click("cmdCopy");
  SelectRow(id);
  MessageBoxes::QueueInput(std::string("It's renamed"));
  Click("cmdRename");

  std::vector<std::string> names;
  for (RowSet r = db.Config().Query("select AutoresponderName from tblAutoresponders order by AutoresponderID"); !r.Eof();
       r.MoveNext())
    names.push_back(r.Field("AutoresponderName").AsText());
  EXPECT_THAT(names, ElementsAre("It's renamed", "Ann's 'best' list"));
  for (const ShownMessage& box : Boxes()) EXPECT_THAT(box.text, ::testing::Not(StartsWith("Error: "))) << box.text;
}

TEST_F(ProjectList, DeleteRemovesTheRowEventsTableAndContentFilesOnYes) {
  const int64_t doomed = db.AddAutoresponder("Doomed", true);
  const int64_t kept = db.AddAutoresponder("Kept", true);
  const std::vector<int64_t> doomedEvents = {AddEvent(doomed, "One"), AddEvent(doomed, "Two")};
  const int64_t keptEvent = AddEvent(kept, "Stays");
  MakeFolders(db.Folder() + "/content");
  for (int64_t e : {doomedEvents[0], doomedEvents[1], keptEvent})
    test::WriteWholeFile(db.Folder() + "/content/" + std::to_string(e) + ".html", "<p>body</p>");
  Start();

  SelectRow(doomed);
  MessageBoxes::QueueAnswer(Answer::No);
  Click("cmdDelete");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "Are you sure you want to delete this Autoresponder?");
  EXPECT_EQ(Boxes()[0].title, "Delete Verification");
  EXPECT_EQ(Boxes()[0].buttons, Buttons::YesNo);
  EXPECT_EQ(Boxes()[0].defaultAnswer, Answer::No) << "Enter on the question must not delete";
  EXPECT_EQ(Count("select count(*) from tblAutoresponders"), 2);

  MessageBoxes::QueueAnswer(Answer::Yes);
  Click("cmdDelete");
  EXPECT_EQ(Count("select count(*) from tblAutoresponders where AutoresponderID=?", {doomed}), 0);
  EXPECT_EQ(Count("select count(*) from tblAutoresponderEvents where AutoresponderID=?", {doomed}), 0);
  EXPECT_FALSE(TableExists(doomed));
  for (int64_t e : doomedEvents) EXPECT_FALSE(FileExists(db.Folder() + "/content/" + std::to_string(e) + ".html"));
  EXPECT_TRUE(FileExists(db.Folder() + "/content/" + std::to_string(keptEvent) + ".html"));
  EXPECT_EQ(Count("select count(*) from tblAutoresponderEvents where AutoresponderID=?", {kept}), 1);
  EXPECT_TRUE(TableExists(kept));
  EXPECT_EQ(RowOf(doomed), -1);
  EXPECT_EQ(SelectedId(), std::nullopt);
  EXPECT_THAT(Pause::Recorded(), ElementsAre(2000));
}

TEST_F(ProjectList, OperationsOnARowSayWhenNoneIsSelected) {
  db.AddAutoresponder("Course", true);
  Start();
  Openers().projectDetail = [](QWidget*) { ADD_FAILURE() << "editor opened"; };
  struct Case {
    const char* button;
    Qt::Key altKey;  // Qt::Key_unknown: none
    const char* text;
  };
  for (const Case& c : {Case{"cmdEdit", Qt::Key_E, "You must select a Autoresponder to edit"},
                        Case{"cmdCopy", Qt::Key_C, "You must select a Autoresponder to copy"},
                        Case{"cmdRename", Qt::Key_M, "You must select a Autoresponder to rename"},
                        Case{"cmdDelete", Qt::Key_D, "You must select a Autoresponder to delete"},
                        Case{"cmdRun", Qt::Key_unknown, "You must select a Autoresponder to run"}}) {
    SCOPED_TRACE(c.button);
    grid->clearSelection();
    MessageBoxes::ClearShown();
    Click(c.button);
    if (c.altKey != Qt::Key_unknown) PressAlt(c.altKey);
    ASSERT_EQ(Boxes().size(), c.altKey != Qt::Key_unknown ? 2u : 1u);
    for (const ShownMessage& box : Boxes()) {
      EXPECT_EQ(box.text, c.text);
      EXPECT_EQ(box.title, "Autoresponder");
      EXPECT_EQ(box.icon, MessageIcon::Critical);
    }
  }
  EXPECT_TRUE(starter.started.empty());
  EXPECT_EQ(Count("select count(*) from tblAutoresponders"), 1);
}

TEST_F(ProjectList, AltNAsksForANewAutoresponder) {
  Start();
  PressAlt(Qt::Key_N);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].title, "New Autoresponder");
}

TEST_F(ProjectList, RunNowStartsTheProcessorForTheSelectedAutoresponder) {
  db.AddAutoresponder("First", true);
  const int64_t second = db.AddAutoresponder("Second", false);
  Start();
  SelectRow(second);
  Click("cmdRun");
  ASSERT_EQ(starter.started.size(), 1u);
  EXPECT_EQ(starter.started[0].program, program->ProgramFolder() + "/ostrel");
  EXPECT_EQ(starter.started[0].argument, std::to_string(second));
  EXPECT_EQ(CurrentAutoresponderID(), second);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "Run event checking for this autoresponder has been queued");
  EXPECT_EQ(Boxes()[0].icon, MessageIcon::Information);
}

TEST_F(ProjectList, ReloadAndSortingKeepTheCurrentRow) {
  const int64_t alpha = db.AddAutoresponder("alpha", true);
  const int64_t beta = db.AddAutoresponder("Beta", true);
  const int64_t gamma = db.AddAutoresponder("gamma", true);
  Start();
  SelectRow(beta);

  // A row added meanwhile shows at the next tick; the current row stays current.
  const int64_t added = db.AddAutoresponder("Added", false);
  Tick();
  EXPECT_GE(RowOf(added), 0);
  EXPECT_EQ(SelectedId(), beta);

  // Sorting by a column header, either way, keeps the row too: a click on the name
  // header sorts up, a second one down.
  QHeaderView* header = grid->horizontalHeader();
  const QPoint nameHeader(header->sectionViewportPosition(1) + header->sectionSize(1) / 2, header->height() / 2);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, nameHeader);
  EXPECT_EQ(RowOf(added), 0);
  EXPECT_EQ(RowOf(alpha), 1);
  EXPECT_EQ(SelectedId(), beta);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, nameHeader);
  EXPECT_EQ(Cell(gamma, 1), "gamma");
  EXPECT_EQ(RowOf(gamma), 0);
  EXPECT_EQ(RowOf(beta), 1) << "names compare without regard to letter case";
  EXPECT_EQ(RowOf(alpha), 2);
  EXPECT_EQ(RowOf(added), 3);
  EXPECT_EQ(SelectedId(), beta);
  header->setSortIndicator(0, Qt::AscendingOrder);
  EXPECT_EQ(RowOf(alpha), 0);
  EXPECT_EQ(SelectedId(), beta);

  // Activating the window reloads as well; a row that is gone leaves none selected.
  db.Config().Execute("delete from tblAutoresponders where AutoresponderID=?", {beta});
  QEvent activate(QEvent::WindowActivate);
  QApplication::sendEvent(list, &activate);
  EXPECT_EQ(RowOf(beta), -1);
  EXPECT_EQ(SelectedId(), std::nullopt);
}

TEST_F(ProjectList, RefreshWaitsWhileAnOperationIsAsking) {
  const int64_t course = db.AddAutoresponder("Course", true);
  Start();
  SelectRow(course);
  int rowsDuringBox = -1;
  MessageBoxes::AnswerForTests([&](const ShownMessage&) {
    db.AddAutoresponder("Arrived", true);
    Tick();
    rowsDuringBox = grid->model()->rowCount();
  });
  Click("cmdRun");
  EXPECT_EQ(rowsDuringBox, 1) << "no reload while the box is open";
  EXPECT_EQ(grid->model()->rowCount(), 2) << "the held tick runs once the operation has ended";
  EXPECT_TRUE(list->findChild<QTimer*>("timerRefresh")->isActive());
}

TEST_F(ProjectList, BlackoutLabelShowsWhileTodayIsABlackoutDay) {
  test::ClockGuard clock(test::Day(2026, 3, 2, 23, 59));
  Start();
  auto* label = list->findChild<QLabel*>("lblBackoutDayActive");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text().toStdString(), "Blackout Day Active");
  EXPECT_FALSE(label->isVisibleTo(list));

  db.Config().Execute("insert into tblBlackoutDays (BlackoutDay, BlackoutDescription) values (?, 'Holiday')",
                      {test::Day(2026, 3, 2, 8, 0)});
  Tick();
  EXPECT_TRUE(label->isVisibleTo(list));

  SetClock(test::Day(2026, 3, 3, 0, 1));
  Tick();
  EXPECT_FALSE(label->isVisibleTo(list)) << "hidden at the first tick after midnight";
}

TEST_F(ProjectList, BlackoutDaysOfTheMenuOpenModallyAndTheLabelFollowsOnClose) {
  test::ClockGuard clock(test::Day(2026, 3, 2, 10, 0));
  Start();
  auto* label = list->findChild<QLabel*>("lblBackoutDayActive");
  ASSERT_FALSE(label->isVisibleTo(list));
  bool opened = false;
  test::WhenModalOpens<frmBlackoutDays>([&](frmBlackoutDays* days) {
    opened = true;
    EXPECT_EQ(days->parentWidget(), window.get());
    // A day for today, as the new-day window offers.
    test::WhenModalOpens<frmBlackoutDaysNew>([](frmBlackoutDaysNew* day) {
      QTest::mouseClick(day->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    });
    QTest::mouseClick(days->findChild<QPushButton*>("cmdNew"), Qt::LeftButton);
    EXPECT_FALSE(label->isVisibleTo(list)) << "not before the window closes";
    QTest::mouseClick(days->findChild<QPushButton*>("cmdClose"), Qt::LeftButton);
  });
  window->findChild<QAction*>("menuBlackoutDays")->trigger();
  EXPECT_TRUE(opened);
  EXPECT_TRUE(label->isVisibleTo(list));
}

TEST_F(ProjectList, SummaryReportOpensTheFreshReportOrShowsWhyNot) {
  db.AddAutoresponder("Course", true);
  Start();
  const std::string report = db.Folder() + "/reports/summaryreport.txt";
  Click("cmdSummaryReport");
  EXPECT_TRUE(Boxes().empty());
  EXPECT_THAT(DesktopOpener::Opened(), ElementsAre(report));
  EXPECT_THAT(test::ReadWholeFile(report), StartsWith("Autoresponder Name: Course"));

  // The report cannot be written: the reason, and no old file opened.
  ASSERT_EQ(std::remove(report.c_str()), 0);
  ASSERT_EQ(::rmdir((db.Folder() + "/reports").c_str()), 0);
  test::WriteWholeFile(db.Folder() + "/reports", "not a folder");
  Click("cmdSummaryReport");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_THAT(Boxes()[0].text, StartsWith("Error: "));
  EXPECT_THAT(Boxes()[0].text, HasSubstr("summaryreport.txt"));
  EXPECT_EQ(DesktopOpener::Opened().size(), 1u);
}

TEST_F(ProjectList, MonitorButtonStartsTheMonitorOrSaysItIsMissing) {
  Start();
  const std::string tamsel = program->ProgramFolder() + "/tamsel";
  ASSERT_FALSE(FileExists(tamsel));
  Click("cmdMonitor");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_THAT(Boxes()[0].text, StartsWith("Error: "));
  EXPECT_THAT(Boxes()[0].text, HasSubstr(tamsel));
  EXPECT_TRUE(starter.started.empty());

  test::WriteWholeFile(tamsel, "#!/bin/sh\n");
  ::chmod(tamsel.c_str(), 0755);
  Click("cmdMonitor");
  std::remove(tamsel.c_str());
  ASSERT_EQ(starter.started.size(), 1u);
  EXPECT_EQ(starter.started[0].program, tamsel);
  EXPECT_EQ(Boxes().size(), 1u);
}

TEST_F(ProjectList, StaysOpenUntilTheMainWindowCloses) {
  Start();
  QPointer<QMdiSubWindow> frame = qobject_cast<QMdiSubWindow*>(list->parentWidget());
  ASSERT_NE(frame, nullptr);
  EXPECT_FALSE(frame->close());
  EXPECT_TRUE(list->isVisible());
  EXPECT_TRUE(window->close());
  EXPECT_TRUE(!frame || !frame->isVisible());
}

}  // namespace
}  // namespace ar
