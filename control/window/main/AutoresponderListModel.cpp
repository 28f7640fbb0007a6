#include "control/window/main/AutoresponderListModel.h"

#include <QColor>

namespace ar {

void AutoresponderListModel::Reload() {
  beginResetModel();
  try {
    list_.Reload();
  } catch (...) {
    endResetModel();
    throw;
  }
  endResetModel();
}

int AutoresponderListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(list_.Size());
}

int AutoresponderListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kAutoresponderColumnCount;
}

QVariant AutoresponderListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || static_cast<size_t>(index.row()) >= list_.Size()) return {};
  const size_t row = static_cast<size_t>(index.row());
  switch (role) {
    case Qt::DisplayRole: return QString::fromStdString(list_.Text(row, index.column()));
    case Qt::ForegroundRole:
      if (!list_.Row(row).active) return QColor(255, 0, 0);
      return {};
    case Qt::TextAlignmentRole:
      if (index.column() == kColumnID || index.column() == kColumnSubscribers)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
      return {};
    default: return {};
  }
}

QVariant AutoresponderListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
  return QString(AutoresponderColumnCaption(section));
}

void AutoresponderListModel::sort(int column, Qt::SortOrder order) {
  beginResetModel();
  list_.Sort(column, order == Qt::DescendingOrder);
  endResetModel();
}

}  // namespace ar
