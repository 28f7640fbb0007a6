// The event editor on the first sample event, whose body is a shipped template: one shot
// per tab.
#include "control/program/ControlProgram.h"
#include "control/window/events/frmEventDetail.h"
#include "control/window/main/WindowOpeners.h"
#include "tests/screenshots/Shots.h"
#include "widgets/web/HtmlEditor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPushButton>
#include <QTabWidget>
#include <QWebEngineView>

namespace ar::shots {
namespace {

bool Blank(const QImage& image) {
  for (int y = 0; y < image.height(); y += 5)
    for (int x = 0; x < image.width(); x += 5)
      if (image.pixel(x, y) != image.pixel(0, 0)) return false;
  return true;
}

// The web engine paints its page a little after the view is first shown.
void WaitUntilDrawn(QWidget* view) {
  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < 10000 && Blank(view->grab().toImage()))
    QApplication::processEvents(QEventLoop::AllEvents, 50);
}

QWidget* EventEditorOnTab(ShotContext& c, int tab) {
  CurrentAutoresponderID() = 1;
  CurrentAutoresponderEventID() = 1;
  auto* window = new frmEventDetail(ControlContext{c.program.Main(), c.program.Subscribers(), c.program.DataFolder(),
                                                   c.program.ProgramFolder()});
  window->move(20, 20);
  window->show();
  window->findChild<QTabWidget*>("tabEventDetail")->setCurrentIndex(tab);
  if (tab == 1) WaitUntilDrawn(window->Editor()->View());
  if (tab == 3) {
    // Every address counts as reachable: a picture never depends on the network.
    window->SetPreflightCheck([](const std::string& subject, const std::string& server,
                                 const std::vector<PreflightElement>& elements, const UrlCheck&,
                                 const PreflightLine& list) {
      RunPreflightCheck(subject, server, elements, [](const std::string&) { return true; }, list);
    });
    window->findChild<QPushButton*>("cmdPreflightTest")->click();
  }
  return window;
}

AR_SHOT(60, "frmEventDetail", [](ShotContext& c) -> QWidget* { return EventEditorOnTab(c, 0); });
AR_SHOT(61, "frmEventDetail_HTML", [](ShotContext& c) -> QWidget* { return EventEditorOnTab(c, 1); });
AR_SHOT(62, "frmEventDetail_PlainText", [](ShotContext& c) -> QWidget* { return EventEditorOnTab(c, 2); });
AR_SHOT(63, "frmEventDetail_Preflight", [](ShotContext& c) -> QWidget* { return EventEditorOnTab(c, 3); });

}  // namespace
}  // namespace ar::shots
