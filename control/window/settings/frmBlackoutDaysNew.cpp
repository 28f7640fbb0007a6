#include "control/window/settings/frmBlackoutDaysNew.h"

#include "base/Clock.h"
#include "base/DayNumber.h"
#include "control/settings/BlackoutDays.h"
#include "widgets/ButtonRow.h"
#include "widgets/MessageBoxes.h"

#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ar {

frmBlackoutDaysNew::frmBlackoutDaysNew(Connection& main, QWidget* parent) : QDialog(parent), main_(main) {
  setObjectName("frmBlackoutDaysNew");
  setWindowTitle("New Blackout Day");
  setModal(true);

  const CivilTime today = FromDayNumber(NowDays());
  dtpBlackoutDay_ = new QDateEdit(QDate(today.year, today.month, today.day), this);
  dtpBlackoutDay_->setObjectName("dtpBlackoutDay");
  dtpBlackoutDay_->setCalendarPopup(true);
  dtpBlackoutDay_->setDisplayFormat("MM/dd/yyyy");
  txtDescription_ = new QLineEdit(this);
  txtDescription_->setObjectName("txtDescription");
  txtDescription_->setMinimumWidth(260);

  auto* fields = new QFormLayout;
  fields->addRow("Blackout Day", dtpBlackoutDay_);
  fields->addRow("Description", txtDescription_);

  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("cmdOK");
  ok->setDefault(true);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("cmdCancel");
  connect(ok, &QPushButton::clicked, this, &frmBlackoutDaysNew::Ok);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  QHBoxLayout* buttons = ButtonRow({ok, cancel});

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addLayout(buttons);
}

void frmBlackoutDaysNew::Ok() {
  const QDate date = dtpBlackoutDay_->date();
  const double day = ToDayNumber(CivilTime{date.year(), date.month(), date.day()});
  try {
    if (!AddBlackoutDay(main_, day, txtDescription_->text().toStdString())) {
      MessageBoxes::Show(this, "That day is already blacked out", "", MessageIcon::Critical);
      dtpBlackoutDay_->setFocus();
      return;
    }
  } catch (const std::exception& e) {
    MessageBoxes::Show(this, std::string("Error: ") + e.what(), "", MessageIcon::None);
    return;
  }
  accept();
}

}  // namespace ar
