#include "control/window/subscribers/SubscriberWindowOpeners.h"

#include "control/window/autoresponder/frmProjectDetail.h"
#include "control/window/main/WindowOpeners.h"
#include "control/window/subscribers/SubscriberGrid.h"
#include "control/window/subscribers/SubscriberGridModel.h"
#include "control/window/subscribers/frmImportSubscribers.h"
#include "control/window/subscribers/frmListExport.h"
#include "control/window/subscribers/frmListFind.h"

#include <QPointer>

namespace ar {

void PutInSubscriberOpeners(const ControlContext& context) {
  Openers().importSubscribers = [context](QWidget* from) {
    QPointer<frmProjectDetail> editor = qobject_cast<frmProjectDetail*>(from);
    frmImportSubscribers import(context, [editor] {
      if (editor) editor->ReloadSubscribers();
    }, from);
    import.exec();
  };
  Openers().exportSubscribers = [](QWidget* from) {
    auto* editor = qobject_cast<frmProjectDetail*>(from);
    if (!editor) return;
    frmListExport exportWindow(editor->SubscriberModel()->List(), from);
    exportWindow.exec();
  };
  Openers().findSubscribers = [context](QWidget* from) {
    auto* editor = qobject_cast<frmProjectDetail*>(from);
    if (!editor) return;
    frmListFind find(context.subscribers, *editor->SubscriberView(), *editor->SubscriberModel(), from);
    find.exec();
  };
}

}  // namespace ar
