// The wrappers every window's boxes and dialogs go through, as tests answer them.
#include "tests/control/window/WindowTest.h"
#include "widgets/FileDialogs.h"
#include "widgets/MessageBoxes.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace ar {
namespace {

class DialogWrappers : public test::WindowTest {
 protected:
  void SetUp() override {
    test::OffscreenApplication();
    WindowTest::SetUp();
  }
};

TEST_F(DialogWrappers, QuestionsTakeQueuedAnswersInOrderThenCountAsClosed) {
  MessageBoxes::QueueAnswer(Answer::Yes);
  MessageBoxes::QueueAnswer(Answer::Cancel);
  EXPECT_EQ(MessageBoxes::Ask(nullptr, "Delete?", "Delete Verification", MessageIcon::Question, Buttons::YesNo),
            Answer::Yes);
  EXPECT_EQ(MessageBoxes::Ask(nullptr, "Save?", "", MessageIcon::None, Buttons::YesNoCancel), Answer::Cancel);
  EXPECT_EQ(MessageBoxes::Ask(nullptr, "Again?", "", MessageIcon::None, Buttons::YesNo), Answer::No);
  EXPECT_EQ(MessageBoxes::Ask(nullptr, "Again?", "", MessageIcon::None, Buttons::YesNoCancel), Answer::Cancel);

  ASSERT_EQ(Boxes().size(), 4u);
  EXPECT_EQ(Boxes()[0].title, "Delete Verification");
  EXPECT_EQ(Boxes()[0].buttons, Buttons::YesNo);
  EXPECT_EQ(Boxes()[1].title, "Autoresponder");
}

// A real box, answered by the Enter key as an operator would: the default button decides.
TEST_F(DialogWrappers, EnterPressesTheDefaultAnswerOfARealQuestion) {
  MessageBoxes::ShowForReal();
  for (const Answer expected : {Answer::No, Answer::Yes}) {
    // Enter goes to the box as soon as it is up.
    QTimer enter;
    QObject::connect(&enter, &QTimer::timeout, [&enter] {
      if (QWidget* box = QApplication::activeModalWidget()) {
        enter.stop();
        QTest::keyClick(box, Qt::Key_Return);
      }
    });
    enter.start(10);
    EXPECT_EQ(MessageBoxes::Ask(nullptr, "Delete?", "Delete Verification", MessageIcon::Question, Buttons::YesNo, expected),
              expected);
  }
  MessageBoxes::AnswerForTests();
}

TEST_F(DialogWrappers, InputBoxesGiveTheQueuedTextOrNothingOnCancel) {
  MessageBoxes::QueueInput(std::string("Course"));
  MessageBoxes::QueueInput(std::nullopt);
  EXPECT_EQ(MessageBoxes::Input(nullptr, "Please enter the name", "New Autoresponder"), "Course");
  EXPECT_EQ(MessageBoxes::Input(nullptr, "Please enter the name", "New Autoresponder"), std::nullopt);
  EXPECT_EQ(MessageBoxes::Input(nullptr, "Again", "", "x"), std::nullopt);
  ASSERT_EQ(Boxes().size(), 3u);
  EXPECT_TRUE(Boxes()[0].input);
  EXPECT_EQ(Boxes()[0].text, "Please enter the name");
  EXPECT_EQ(Boxes()[2].defaultText, "x");
}

TEST_F(DialogWrappers, FiltersAreWrittenTheWayQtReadsThem) {
  const struct {
    const char* given;
    const char* qt;
  } cases[] = {
      {"CSV (*.csv)|*.csv|Text (*.txt)|*.txt|All|*.*||", "CSV (*.csv);;Text (*.txt);;All (*)"},
      {"HTML Files|*.htm;*.html|", "HTML Files (*.htm *.html)"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FileDialogs::QtFilter(c.given), c.qt) << c.given;
}

TEST_F(DialogWrappers, AChosenFilesFolderIsRememberedPerDialog) {
  FileDialogs::QueueAnswer(std::string("/home/ann/lists/march.csv"));
  FileDialogs::QueueAnswer(std::nullopt);
  EXPECT_EQ(FileDialogs::OpenFile(nullptr, "Import A List", "All|*.*||", "ImportBrowse"), "/home/ann/lists/march.csv");
  EXPECT_EQ(FileDialogs::RememberedFolder("ImportBrowse"), "/home/ann/lists/");
  EXPECT_EQ(FileDialogs::OpenFile(nullptr, "Import A List", "All|*.*||", "ImportBrowse"), std::nullopt);

  ASSERT_EQ(FileDialogs::Requests().size(), 2u);
  EXPECT_EQ(FileDialogs::Requests()[1].folder, "/home/ann/lists/") << "the second dialog starts where the first ended";
  EXPECT_EQ(FileDialogs::RememberedFolder("OtherBrowse"), "");
}

}  // namespace
}  // namespace ar
