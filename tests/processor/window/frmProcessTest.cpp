// The run's window, driven by object name on the offscreen platform.
#include "processor/ProcessorProgram.h"
#include "processor/window/frmProcess.h"
#include "tests/support/TestDatabases.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <gtest/gtest.h>

namespace ar {
namespace {

TEST(frmProcess, ShowsTheRunAndClosesOnClose) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  test::TestDatabases db;
  db.SetSmtpServer("127.0.0.1:1");
  ::setenv("AUTORESPONDER_DATA", db.Folder().c_str(), 1);
  int argc = 1;
  char name[] = "ostrel";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);

  ProcessorProgram program("0 /d");
  std::string error;
  ASSERT_EQ(program.StartUp(error), kExitOk) << error;
  frmProcess window(program);
  window.show();
  EXPECT_EQ(window.windowTitle(), "ostrel");
  auto* list = window.findChild<QListWidget*>("lbStatus");
  auto* close = window.findChild<QPushButton*>("cmdClose");
  ASSERT_TRUE(list && close);
  EXPECT_EQ(close->text(), "Close");

  window.StartRunAfter(0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return list->count() > 0 && list->item(list->count() - 1)->text().endsWith(" - POP check completed"); }, 10000));
  EXPECT_TRUE(list->item(0)->text().endsWith(" - Processing all autoresponders"));
  EXPECT_TRUE(window.isVisible()) << "debug mode keeps the window open after the run";
  EXPECT_TRUE(list->selectedItems().isEmpty());

  QTest::mouseClick(close, Qt::LeftButton);
  EXPECT_FALSE(window.isVisible());
  ::unsetenv("AUTORESPONDER_DATA");
}

}  // namespace
}  // namespace ar
