#include "control/window/settings/frmBlackoutDays.h"

#include "control/settings/BlackoutDays.h"
#include "control/window/settings/frmBlackoutDaysNew.h"
#include "widgets/MessageBoxes.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace ar {

frmBlackoutDays::frmBlackoutDays(Connection& main, QWidget* parent) : QDialog(parent), main_(main) {
  setObjectName("frmBlackoutDays");
  setWindowTitle("Blackout Days");
  setModal(true);
  lbBlackoutDays_ = new QListWidget(this);
  lbBlackoutDays_->setObjectName("lbBlackoutDays");
  lbBlackoutDays_->setSelectionMode(QAbstractItemView::SingleSelection);

  auto* buttons = new QHBoxLayout;
  for (const auto& [name, caption, work] :
       {std::tuple{"cmdNew", "&New", &frmBlackoutDays::New}, std::tuple{"cmdDelete", "&Delete", &frmBlackoutDays::Delete}}) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, work = work] { Guarded(work); });
    buttons->addWidget(button);
  }
  buttons->addStretch(1);
  auto* close = new QPushButton("&Close", this);
  close->setObjectName("cmdClose");
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  buttons->addWidget(close);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lbBlackoutDays_, 1);
  layout->addLayout(buttons);
  resize(420, 320);
  Guarded(&frmBlackoutDays::Fill);
}

void frmBlackoutDays::Guarded(void (frmBlackoutDays::*work)()) {
  try {
    (this->*work)();
  } catch (const std::exception& e) {
    MessageBoxes::Show(this, std::string("Error: ") + e.what(), "", MessageIcon::None);
  }
}

void frmBlackoutDays::Fill() {
  lbBlackoutDays_->clear();
  for (const BlackoutDay& day : LoadBlackoutDays(main_)) {
    auto* item = new QListWidgetItem(QString::fromStdString(BlackoutEntryText(day)), lbBlackoutDays_);
    item->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(day.id));
  }
}

void frmBlackoutDays::New() {
  frmBlackoutDaysNew window(main_, this);
  window.exec();
  Fill();
}

void frmBlackoutDays::Delete() {
  const QList<QListWidgetItem*> selected = lbBlackoutDays_->selectedItems();
  if (selected.isEmpty()) {
    MessageBoxes::Show(this, "You must select a blackout day to delete", "", MessageIcon::Critical);
    return;
  }
  if (MessageBoxes::Ask(this, "Are you sure you want to delete this blackout day?", "Warning", MessageIcon::Exclamation,
                        Buttons::YesNo) != Answer::Yes)
    return;
  DeleteBlackoutDay(main_, selected.front()->data(Qt::UserRole).toLongLong());
  Fill();
}

}  // namespace ar
