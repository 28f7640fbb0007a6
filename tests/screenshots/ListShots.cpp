// The autoresponder list as the operator sees it after start-up (red inactive rows, the
// blackout label of today's sample blackout day), and the two blackout-day windows.
#include "control/program/ControlProgram.h"
#include "control/window/main/frmMain.h"
#include "control/window/main/frmProjectList.h"
#include "control/window/settings/frmBlackoutDays.h"
#include "control/window/settings/frmBlackoutDaysNew.h"
#include "tests/screenshots/Shots.h"

#include <QListWidget>
#include <QTableView>

namespace ar::shots {

AR_SHOT(20, "frmProjectList", [](ShotContext& c) -> QWidget* {
  auto* list = c.main.findChild<frmProjectList*>("frmProjectList");
  if (!list) return nullptr;
  // A row selected, as after a click.
  if (auto* grid = list->findChild<QTableView*>("gridAutoresponders")) grid->selectRow(1);
  return &c.main;
});

AR_SHOT(30, "frmBlackoutDays", [](ShotContext& c) -> QWidget* {
  auto* window = new frmBlackoutDays(c.program.Main(), &c.main);
  window->show();
  if (auto* list = window->findChild<QListWidget*>("lbBlackoutDays")) list->setCurrentRow(0);
  return window;
});

AR_SHOT(40, "frmBlackoutDaysNew", [](ShotContext& c) -> QWidget* {
  auto* window = new frmBlackoutDaysNew(c.program.Main(), &c.main);
  window->show();
  return window;
});

}  // namespace ar::shots
