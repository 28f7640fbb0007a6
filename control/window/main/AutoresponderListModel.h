#pragma once
// The autoresponder list as a table for the list window: six columns, inactive rows in
// red, and the subscriber count worked out only for the rows the view asks about.
#include "control/autoresponders/AutoresponderList.h"

#include <QAbstractTableModel>

namespace ar {

class AutoresponderListModel : public QAbstractTableModel {
 public:
  AutoresponderListModel(Connection& main, Connection& subscribers, QObject* parent = nullptr)
      : QAbstractTableModel(parent), list_(main, subscribers) {}

  // Rereads the rows; the view loses its selection, which the window puts back.
  void Reload();
  AutoresponderList& List() { return list_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  void sort(int column, Qt::SortOrder order) override;

 private:
  // Counting on demand changes what the list holds, not what it shows.
  mutable AutoresponderList list_;
};

}  // namespace ar
