// The blackout-day windows on the offscreen platform over a data folder from the schema,
// with the clock fixed; boxes are answered and the new-day window is driven while modal.
#include "control/window/settings/frmBlackoutDays.h"
#include "control/window/settings/frmBlackoutDaysNew.h"
#include "tests/control/window/ModalWindows.h"
#include "tests/control/window/WindowTest.h"
#include "tests/support/ClockGuard.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gmock/gmock.h>

namespace ar {
namespace {

using ::testing::ElementsAre;

class BlackoutDays : public test::WindowTest {
 protected:
  void SetUp() override {
    test::OffscreenApplication();
    WindowTest::SetUp();
  }
  void AddDay(double day, const Value& description) {
    db.Config().Execute("insert into tblBlackoutDays (BlackoutDay, BlackoutDescription) values (?, ?)", {day, description});
  }
  static std::vector<std::string> Entries(QWidget* window) {
    std::vector<std::string> entries;
    auto* list = window->findChild<QListWidget*>("lbBlackoutDays");
    for (int i = 0; list && i < list->count(); ++i) entries.push_back(list->item(i)->text().toStdString());
    return entries;
  }
  static void Press(QWidget* window, const char* button) {
    auto* found = window->findChild<QPushButton*>(button);
    ASSERT_NE(found, nullptr) << button;
    QTest::mouseClick(found, Qt::LeftButton);
  }
  int64_t Days() { return db.Config().Scalar("select count(*) from tblBlackoutDays").AsInteger(); }

  test::ClockGuard clock{test::Day(2026, 3, 2, 10, 30)};
};

TEST_F(BlackoutDays, ListsTheDaysInDateOrderWithTheirDescriptions) {
  AddDay(test::Day(2026, 12, 25), "Christmas");
  AddDay(test::Day(2026, 3, 20, 17, 45), "Spring break");
  AddDay(test::Day(2026, 3, 5), "");
  AddDay(test::Day(2027, 1, 1), Null{});
  frmBlackoutDays window(db.Config());
  window.show();
  EXPECT_EQ(window.windowTitle().toStdString(), "Blackout Days");
  EXPECT_TRUE(window.isModal());
  EXPECT_THAT(Entries(&window), ElementsAre("03/05/2026 - ", "03/20/2026 - Spring break", "12/25/2026 - Christmas",
                                            "01/01/2027 - "));
}

TEST_F(BlackoutDays, NewDayStartsTodayAndRefusesADayBlackedOutAlready) {
  {
    frmBlackoutDaysNew window(db.Config());
    window.show();
    EXPECT_EQ(window.windowTitle().toStdString(), "New Blackout Day");
    EXPECT_EQ(window.findChild<QDateEdit*>("dtpBlackoutDay")->date(), QDate(2026, 3, 2));
    window.findChild<QLineEdit*>("txtDescription")->setText("Company holiday");
    Press(&window, "cmdOK");
    EXPECT_EQ(window.result(), QDialog::Accepted);
  }
  RowSet row = db.Config().Query("select * from tblBlackoutDays");
  ASSERT_EQ(row.Count(), 1u);
  EXPECT_EQ(row.Field("BlackoutDay").AsReal(), test::Day(2026, 3, 2)) << "the date without the time of day";
  EXPECT_EQ(row.Field("BlackoutDescription").AsText(), "Company holiday");

  // The same date again: refused, the picker takes the focus and the window stays.
  frmBlackoutDaysNew again(db.Config());
  again.show();
  again.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&again));
  again.findChild<QLineEdit*>("txtDescription")->setFocus();
  Press(&again, "cmdOK");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "That day is already blacked out");
  EXPECT_EQ(Boxes()[0].icon, MessageIcon::Critical);
  EXPECT_TRUE(again.isVisible());
  EXPECT_TRUE(again.findChild<QDateEdit*>("dtpBlackoutDay")->hasFocus());
  EXPECT_EQ(Days(), 1);

  // Another date with no description is added with an empty one.
  again.findChild<QDateEdit*>("dtpBlackoutDay")->setDate(QDate(2026, 3, 3));
  Press(&again, "cmdOK");
  EXPECT_EQ(again.result(), QDialog::Accepted);
  EXPECT_EQ(db.Config().Scalar("select BlackoutDescription from tblBlackoutDays where BlackoutDay=?",
                               {test::Day(2026, 3, 3)}),
            Value(""));
}

TEST_F(BlackoutDays, NewOpensTheNewDayWindowAndRefillsTheList) {
  AddDay(test::Day(2026, 5, 1), "May day");
  frmBlackoutDays window(db.Config());
  window.show();

  test::WhenModalOpens<frmBlackoutDaysNew>([](frmBlackoutDaysNew* day) {
    EXPECT_TRUE(day->isModal());
    day->findChild<QDateEdit*>("dtpBlackoutDay")->setDate(QDate(2026, 4, 3));
    day->findChild<QLineEdit*>("txtDescription")->setText("Good Friday");
    Press(day, "cmdOK");
  });
  Press(&window, "cmdNew");
  EXPECT_THAT(Entries(&window), ElementsAre("04/03/2026 - Good Friday", "05/01/2026 - May day"));

  test::WhenModalOpens<frmBlackoutDaysNew>([](frmBlackoutDaysNew* day) { Press(day, "cmdCancel"); });
  Press(&window, "cmdNew");
  EXPECT_EQ(Days(), 2);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(BlackoutDays, DeleteAsksAndRemovesTheSelectedDayOnYes) {
  AddDay(test::Day(2026, 3, 10), "First");
  AddDay(test::Day(2026, 3, 11), "Second");
  frmBlackoutDays window(db.Config());
  window.show();
  auto* list = window.findChild<QListWidget*>("lbBlackoutDays");

  // Nothing selected: said so, nothing asked.
  Press(&window, "cmdDelete");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "You must select a blackout day to delete");
  EXPECT_EQ(Boxes()[0].icon, MessageIcon::Critical);

  list->setCurrentRow(1);
  MessageBoxes::ClearShown();
  MessageBoxes::QueueAnswer(Answer::No);
  Press(&window, "cmdDelete");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "Are you sure you want to delete this blackout day?");
  EXPECT_EQ(Boxes()[0].title, "Warning");
  EXPECT_EQ(Boxes()[0].buttons, Buttons::YesNo);
  EXPECT_EQ(Days(), 2);

  MessageBoxes::QueueAnswer(Answer::Yes);
  Press(&window, "cmdDelete");
  EXPECT_THAT(Entries(&window), ElementsAre("03/10/2026 - First"));
  EXPECT_EQ(Days(), 1);
}

}  // namespace
}  // namespace ar
