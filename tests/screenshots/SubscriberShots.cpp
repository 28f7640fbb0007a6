// The subscriber windows of the autoresponder editor: the import with a file chosen and its
// fields listed, the import's status window, the export and the find window, each over the
// editor of the first sample autoresponder.
#include "control/program/ControlProgram.h"
#include "control/window/autoresponder/frmProjectDetail.h"
#include "control/window/main/WindowOpeners.h"
#include "control/window/main/frmMain.h"
#include "control/window/subscribers/SubscriberGrid.h"
#include "control/window/subscribers/SubscriberGridModel.h"
#include "control/window/subscribers/frmImportSubscribers.h"
#include "control/window/subscribers/frmListExport.h"
#include "control/window/subscribers/frmListFind.h"
#include "control/window/subscribers/frmListImportStatus.h"
#include "tests/screenshots/Shots.h"
#include "widgets/FileDialogs.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>

#include <fstream>

namespace ar::shots {
namespace {

frmProjectDetail* Editor(ShotContext& c) {
  CurrentAutoresponderID() = 1;
  Openers().projectDetail(&c.main);
  const QList<QMdiSubWindow*> frames = c.main.Area()->subWindowList();
  for (QMdiSubWindow* frame : frames)
    if (auto* editor = qobject_cast<frmProjectDetail*>(frame->widget())) return editor;
  return nullptr;
}

ControlContext Context(ShotContext& c) {
  return ControlContext{c.program.Main(), c.program.Subscribers(), c.program.DataFolder(), c.program.ProgramFolder()};
}

AR_SHOT(60, "frmImportSubscribers", [](ShotContext& c) -> QWidget* {
  const std::string file = c.dataFolder + "/spring-course-signups.csv";
  std::ofstream(file) << "First Name,Last Name,Email Address,Signed Up\r\n"
                         "Ann,Lee,ann.lee@example.com,2024-03-01\r\n";
  CurrentAutoresponderID() = 1;
  auto* import = new frmImportSubscribers(Context(c), {}, &c.main);
  FileDialogs::QueueAnswer(file);
  import->findChild<QPushButton*>("cmdBrowse")->click();
  import->findChild<QListWidget*>("clbEmailAddress")->setCurrentRow(2);
  import->findChild<QCheckBox*>("cbDedupe")->setChecked(true);
  import->show();
  return import;
});

AR_SHOT(61, "frmListImportStatus", [](ShotContext& c) -> QWidget* {
  auto* status = new frmListImportStatus(c.program.ProgramFolder(), &c.main);
  status->SetStatus("37% completed");
  status->show();
  return status;
});

AR_SHOT(62, "frmListExport", [](ShotContext& c) -> QWidget* {
  frmProjectDetail* editor = Editor(c);
  if (!editor) return nullptr;
  auto* exportWindow = new frmListExport(editor->SubscriberModel()->List(), editor);
  exportWindow->show();
  return exportWindow;
});

AR_SHOT(63, "frmListFind", [](ShotContext& c) -> QWidget* {
  frmProjectDetail* editor = Editor(c);
  if (!editor) return nullptr;
  auto* find = new frmListFind(c.program.Subscribers(), *editor->SubscriberView(), *editor->SubscriberModel(), editor);
  find->findChild<QLineEdit*>("txtValue1")->setText("example.org");
  find->show();
  return find;
});

}  // namespace
}  // namespace ar::shots
