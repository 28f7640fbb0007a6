// The autoresponder editor on the first sample autoresponder, one shot per tab.
#include "control/window/autoresponder/frmProjectDetail.h"
#include "control/window/main/WindowOpeners.h"
#include "control/window/main/frmMain.h"
#include "tests/screenshots/Shots.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTabWidget>

namespace ar::shots {
namespace {

QWidget* EditorOnTab(ShotContext& c, int tab) {
  CurrentAutoresponderID() = 1;
  Openers().projectDetail(&c.main);
  const QList<QMdiSubWindow*> frames = c.main.Area()->subWindowList();
  if (frames.isEmpty()) return nullptr;
  QMdiSubWindow* frame = frames.back();
  frame->move(10, 10);
  frame->widget()->findChild<QTabWidget*>("tabProjectDetail")->setCurrentIndex(tab);
  return frame;
}

AR_SHOT(50, "frmProjectDetail", [](ShotContext& c) -> QWidget* { return EditorOnTab(c, 0); });
AR_SHOT(51, "frmProjectDetail_Subscribers", [](ShotContext& c) -> QWidget* { return EditorOnTab(c, 1); });

}  // namespace
}  // namespace ar::shots
