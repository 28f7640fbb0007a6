#include "control/window/subscribers/SubscriberGridModel.h"

#include "base/DayNumber.h"

#include <exception>
#include <functional>
#include <utility>

namespace ar {
namespace {

const char* const kCaptions[] = {"SubscriberID", "Email Address", "Added Date", "Last Event", "Last Event Sent",
                                 "Unsubscribe Date"};

QString DateText(const Value& v) {
  if (v.IsNull()) return {};
  return QString::fromStdString(FormatGeneralDateTime(v.AsReal()));
}

}  // namespace

SubscriberGridModel::SubscriberGridModel(Connection& subscribers, Connection& main, int64_t autoresponderId,
                                         QObject* parent)
    : QAbstractTableModel(parent), list_(subscribers, main, autoresponderId) {}

void SubscriberGridModel::Reset(const std::function<void()>& change) {
  // The list may be half changed when the change fails: the grid forgets it all the same.
  beginResetModel();
  try {
    change();
  } catch (...) {
    endResetModel();
    throw;
  }
  endResetModel();
}

void SubscriberGridModel::Reload() {
  Reset([this] { list_.Reload(); });
}

void SubscriberGridModel::DeleteRows(const std::vector<std::pair<int64_t, int64_t>>& ranges) {
  Reset([&] { list_.Delete(ranges); });
}

bool SubscriberGridModel::TakeRefusal() { return std::exchange(refused_, false); }

int SubscriberGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : NewRow() + 1;
}

int SubscriberGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

QVariant SubscriberGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole) || index.row() >= NewRow()) return {};
  try {
    const SubscriberRow row = list_.Row(index.row());
    if (row.id == 0) return {};
    switch (index.column()) {
      case kSubscriberID: return QVariant::fromValue<qlonglong>(row.id);
      case kEmailAddress: return QString::fromStdString(row.address);
      case kAddedDate: return DateText(row.addedDate);
      case kLastEvent: return QString::fromStdString(list_.LastEventName(row));
      case kLastEventSent: return DateText(row.lastEventSentTime);
      case kUnsubscribeDate: return DateText(row.unsubscribeDate);
      default: break;
    }
  } catch (const std::exception&) {
    // A page that cannot be read (the table was dropped meanwhile) shows blank; the next
    // reload reports the error.
  }
  return {};
}

QVariant SubscriberGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal) return section >= 0 && section < kColumns ? kCaptions[section] : QVariant();
  return section == NewRow() ? QStringLiteral("*") : QString();
}

Qt::ItemFlags SubscriberGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == kEmailAddress) f |= Qt::ItemIsEditable;
  return f;
}

bool SubscriberGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole || index.column() != kEmailAddress) return false;
  const QString typed = value.toString();
  const bool adding = index.row() == NewRow();
  // Leaving the adding line without typing anything adds nothing.
  if (adding && typed.isEmpty()) return false;
  if (!adding && typed == data(index, Qt::EditRole).toString()) return true;
  std::string stored;
  const SubscriberAddressProblem problem = CheckSubscriberAddress(typed.toStdString(), stored);
  if (problem != SubscriberAddressProblem::None) {
    refused_ = true;
    emit addressRefused(index.row(), static_cast<int>(problem), typed);
    return false;
  }
  try {
    if (adding) {
      list_.Add(stored);
      emit subscriberAdded();
    } else {
      list_.ChangeAddress(index.row(), stored);
      emit dataChanged(index, index);
    }
    return true;
  } catch (const std::exception& e) {
    refused_ = true;
    emit storeFailed(adding ? "gridSubscribers_AfterInsert" : "gridSubscribers_AfterUpdate", e.what());
    return false;
  }
}

}  // namespace ar
