// The picture button on the offscreen platform: its mode, its faces and the
// notifications it passes on.
#include "tests/control/window/WindowTest.h"
#include "tests/support/TempFolder.h"
#include "widgets/CustomButton.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <stdexcept>

namespace ar {
namespace {

using Face = CustomButton::Face;

QPixmap Filled(const QColor& colour, QSize size = QSize(40, 20)) {
  QPixmap picture(size);
  picture.fill(colour);
  return picture;
}

class PictureButton : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { test::OffscreenApplication(); }
  void SetUp() override {
    button.setText("New");
    button.SetPictures(Filled(Qt::red), Filled(Qt::blue), Filled(Qt::green));
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    // Wherever the platform put the pointer, the tests say where it is.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
  }
  QColor Centre() { return button.grab().toImage().pixelColor(button.width() / 2, button.height() / 2); }

  CustomButton button;
};

TEST_F(PictureButton, ButtonModeTakesZeroOrOneOnly) {
  EXPECT_EQ(button.ButtonMode(), 0);
  for (const int refused : {-1, 2, 100}) {
    SCOPED_TRACE(refused);
    try {
      button.SetButtonMode(refused);
      ADD_FAILURE() << "accepted";
    } catch (const std::invalid_argument& e) {
      EXPECT_STREQ(e.what(), "Invalid ButtonMode value (0 or 1 only)");
    }
    EXPECT_EQ(button.ButtonMode(), 0) << "the mode stays";
  }

  // Mode 1: the button stays down until it is pressed again.
  button.SetButtonMode(1);
  EXPECT_THROW(button.SetButtonMode(7), std::invalid_argument);
  EXPECT_EQ(button.ButtonMode(), 1);
  QTest::mouseClick(&button, Qt::LeftButton);
  EXPECT_EQ(button.CurrentFace(), Face::Pressed);
  QTest::mouseClick(&button, Qt::LeftButton);
  EXPECT_NE(button.CurrentFace(), Face::Pressed);
  button.SetButtonMode(0);
  QTest::mouseClick(&button, Qt::LeftButton);
  EXPECT_NE(button.CurrentFace(), Face::Pressed);
}

TEST_F(PictureButton, FacesFollowPointerPressAndEnabledStateOverItsBackColour) {
  button.SetBackColor(QColor(10, 20, 30));
  button.resize(60, 30);  // larger than the pictures: the back colour shows around them
  EXPECT_EQ(button.sizeHint(), QSize(40, 20));
  EXPECT_EQ(Centre(), QColor(Qt::red));
  EXPECT_EQ(button.grab().toImage().pixelColor(1, 1), QColor(10, 20, 30));

  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QApplication::sendEvent(&button, &enter);
  EXPECT_EQ(button.CurrentFace(), Face::Hover);
  EXPECT_EQ(Centre(), QColor(Qt::green));

  QTest::mousePress(&button, Qt::LeftButton);
  EXPECT_EQ(button.CurrentFace(), Face::Pressed);
  EXPECT_EQ(Centre(), QColor(Qt::blue));
  QTest::mouseRelease(&button, Qt::LeftButton);

  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&button, &leave);
  EXPECT_EQ(button.CurrentFace(), Face::Normal);
  EXPECT_EQ(Centre(), QColor(Qt::red));

  button.setEnabled(false);
  EXPECT_EQ(button.CurrentFace(), Face::Disabled);
  const QColor faded = Centre();
  EXPECT_NE(faded, QColor(Qt::red)) << "a disabled face made from the normal one";
  EXPECT_LT(faded.saturation(), 60);
}

TEST_F(PictureButton, PassesClicksKeysAndMouseNotificationsOn) {
  QSignalSpy clicked(&button, &CustomButton::clicked);
  QSignalSpy doubleClicked(&button, &CustomButton::DoubleClicked);
  QSignalSpy keyDown(&button, &CustomButton::KeyDown);
  QSignalSpy keyUp(&button, &CustomButton::KeyUp);
  QSignalSpy mouseDown(&button, &CustomButton::MouseDown);
  QSignalSpy mouseUp(&button, &CustomButton::MouseUp);
  QSignalSpy mouseMove(&button, &CustomButton::MouseMove);

  QTest::mouseClick(&button, Qt::LeftButton, Qt::ShiftModifier, QPoint(7, 8));
  EXPECT_EQ(clicked.count(), 1);
  ASSERT_EQ(mouseDown.count(), 1);
  EXPECT_EQ(mouseDown[0][0].value<Qt::MouseButton>(), Qt::LeftButton);
  EXPECT_EQ(mouseDown[0][1].value<Qt::KeyboardModifiers>(), Qt::ShiftModifier);
  EXPECT_EQ(mouseDown[0][2].toPoint(), QPoint(7, 8));
  EXPECT_EQ(mouseUp.count(), 1);

  QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(3, 3));
  QTest::mouseMove(&button, QPoint(9, 4));
  QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(9, 4));
  ASSERT_GE(mouseMove.count(), 1);
  EXPECT_EQ(mouseMove.last()[2].toPoint(), QPoint(9, 4));

  QTest::mouseDClick(&button, Qt::LeftButton);
  EXPECT_EQ(doubleClicked.count(), 1);

  // The keyboard: Space and Enter press it, other keys are only passed on.
  button.setFocus();
  clicked.clear();
  QTest::keyClick(&button, Qt::Key_Space);
  QTest::keyClick(&button, Qt::Key_Return);
  QTest::keyClick(&button, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(clicked.count(), 3);
  QTest::keyClick(&button, Qt::Key_X);
  EXPECT_EQ(clicked.count(), 3);
  ASSERT_EQ(keyDown.count(), 4);
  EXPECT_EQ(keyDown.last()[0].toInt(), static_cast<int>(Qt::Key_X));
  EXPECT_EQ(keyUp.count(), 4);
  EXPECT_EQ(button.focusPolicy(), Qt::StrongFocus);

  // A disabled button clicks no more.
  button.setEnabled(false);
  clicked.clear();
  QTest::mouseClick(&button, Qt::LeftButton);
  QTest::keyClick(&button, Qt::Key_Return);
  EXPECT_EQ(clicked.count(), 0);
}

TEST(PictureButtonFiles, LoadsItsFacesFromAFolderOrKeepsItsText) {
  test::OffscreenApplication();
  test::TempFolder folder;
  Filled(Qt::red).save(QString::fromStdString(folder.Path() + "/button-new.png"));
  Filled(Qt::blue).save(QString::fromStdString(folder.Path() + "/button-new-down.png"));
  CustomButton button;
  button.setText("New");
  const QSize textSize = button.sizeHint();
  EXPECT_FALSE(button.LoadPictures(QString::fromStdString(folder.Path()), "button-missing"));
  EXPECT_FALSE(button.HasPictures());
  EXPECT_EQ(button.sizeHint(), textSize);
  ASSERT_TRUE(button.LoadPictures(QString::fromStdString(folder.Path()), "button-new"));
  EXPECT_EQ(button.sizeHint(), QSize(40, 20));
  button.show();
  // No pointer-over picture: the normal face stands in for it.
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QApplication::sendEvent(&button, &enter);
  EXPECT_EQ(button.grab().toImage().pixelColor(20, 10), QColor(Qt::red));
}

}  // namespace
}  // namespace ar
