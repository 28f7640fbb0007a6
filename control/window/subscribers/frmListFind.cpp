#include "control/window/subscribers/frmListFind.h"

#include "control/subscribers/SubscriberFind.h"
#include "control/window/subscribers/SubscriberGridModel.h"
#include "widgets/MessageBoxes.h"
#include "widgets/WaitCursor.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace ar {
namespace {

// The grid's columns are the searchable columns, in the same order.
static_assert(static_cast<int>(SubscriberColumn::SubscriberID) == SubscriberGridModel::kSubscriberID);
static_assert(static_cast<int>(SubscriberColumn::EmailAddress) == SubscriberGridModel::kEmailAddress);
static_assert(static_cast<int>(SubscriberColumn::AddedDate) == SubscriberGridModel::kAddedDate);
static_assert(static_cast<int>(SubscriberColumn::LastEvent) == SubscriberGridModel::kLastEvent);
static_assert(static_cast<int>(SubscriberColumn::LastEventSent) == SubscriberGridModel::kLastEventSent);
static_assert(static_cast<int>(SubscriberColumn::UnsubscribeDate) == SubscriberGridModel::kUnsubscribeDate);

QPushButton* Button(const char* name, const char* text) {
  auto* b = new QPushButton(text);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

}  // namespace

frmListFind::frmListFind(Connection& subscribers, QTableView& grid, SubscriberGridModel& model, QWidget* parent)
    : QDialog(parent), subscribers_(subscribers), grid_(grid), model_(model) {
  setObjectName("frmListFind");
  setWindowTitle("Find Email Address");
  setModal(true);

  txtValue1_ = new QLineEdit;
  txtValue1_->setObjectName("txtValue1");
  txtValue1_->setMinimumWidth(fontMetrics().horizontalAdvance('x') * 36);
  clbFieldList_ = new QComboBox;
  clbFieldList_->setObjectName("clbFieldList");
  const QHeaderView* header = grid_.horizontalHeader();
  for (int visual = 0; visual < header->count(); ++visual) {
    const int column = header->logicalIndex(visual);
    clbFieldList_->addItem(model_.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(), column);
  }
  clbFieldList_->setCurrentIndex(clbFieldList_->count() > 1 ? 1 : 0);
  clbDirection_ = new QComboBox;
  clbDirection_->setObjectName("clbDirection");
  clbDirection_->addItems({"Look Forward", "Look Backwad"});

  auto* fields = new QGridLayout;
  fields->addWidget(new QLabel("Find what: "), 0, 0);
  fields->addWidget(txtValue1_, 0, 1);
  fields->addWidget(new QLabel("Field"), 1, 0);
  fields->addWidget(clbFieldList_, 1, 1, Qt::AlignLeft);
  fields->addWidget(new QLabel("Direction"), 2, 0);
  fields->addWidget(clbDirection_, 2, 1, Qt::AlignLeft);

  QPushButton* findFirst = Button("cmdFindFirst", "&Find First");
  QPushButton* findNext = Button("cmdFindNext", "Find &Next");
  QPushButton* cancel = Button("cmdCancel", "&Cancel");
  findNext->setDefault(true);
  connect(findFirst, &QPushButton::clicked, this, &frmListFind::cmdFindFirst_Click);
  connect(findNext, &QPushButton::clicked, this, &frmListFind::cmdFindNext_Click);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(findFirst);
  buttons->addWidget(findNext);
  buttons->addWidget(cancel);
  buttons->addStretch(1);

  auto* layout = new QHBoxLayout(this);
  layout->addLayout(fields, 1);
  layout->addLayout(buttons);
}

void frmListFind::cmdFindFirst_Click() {
  clbDirection_->setCurrentIndex(0);
  lastFound_.reset();
  cmdFindNext_Click();
}

void frmListFind::cmdFindNext_Click() {
  SubscriberList& list = model_.List();
  const bool forward = clbDirection_->currentIndex() == 0;
  // From the start: the first row forwards, the last row backwards.
  const int64_t from = lastFound_ ? *lastFound_ + (forward ? 1 : -1) : (forward ? 0 : list.Count() - 1);
  const int column = clbFieldList_->currentData().toInt();
  std::optional<int64_t> found;
  try {
    WaitCursor wait;
    found = FindSubscriber(subscribers_, list, static_cast<SubscriberColumn>(column),
                           txtValue1_->text().toStdString(), from, forward);
  } catch (const std::exception& e) {
    MessageBoxes::Show(this, std::string("Error: ") + e.what(), "", MessageIcon::Critical);
    return;
  }
  if (!found) {
    MessageBoxes::Show(this, "No more records were found matching that criteria", "Not Found", MessageIcon::Critical);
    txtValue1_->setFocus();
    return;
  }
  // A hidden column cannot hold the cursor: the address cell of the row does.
  const int shown = grid_.isColumnHidden(column) ? SubscriberGridModel::kEmailAddress : column;
  const QModelIndex cell = model_.index(static_cast<int>(*found), shown);
  grid_.setCurrentIndex(cell);
  grid_.scrollTo(cell, QAbstractItemView::PositionAtCenter);
  grid_.setFocus();
  lastFound_ = *found;
}

}  // namespace ar
