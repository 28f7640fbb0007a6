#pragma once
// The editor's subscriber grid: the rows of a SubscriberList, read a page at a time as the
// grid shows them, with a last line for adding a subscriber. Only the address is
// editable; a typed address is checked, and "Name <address>" is stored as the address.
#include "control/subscribers/EmailAddressCheck.h"
#include "control/subscribers/SubscriberList.h"

#include <QAbstractTableModel>

#include <functional>
#include <utility>
#include <vector>

namespace ar {

class SubscriberGridModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { kSubscriberID, kEmailAddress, kAddedDate, kLastEvent, kLastEventSent, kUnsubscribeDate, kColumns };

  SubscriberGridModel(Connection& subscribers, Connection& main, int64_t autoresponderId, QObject* parent = nullptr);

  // Reads the count anew and forgets every row read. Throws on a database error.
  void Reload();
  SubscriberList& List() { return list_; }
  // Deletes the rows of each inclusive range of positions. Throws on a database error.
  void DeleteRows(const std::vector<std::pair<int64_t, int64_t>>& ranges);
  // The row for adding a subscriber, after the last subscriber.
  int NewRow() const { return static_cast<int>(list_.Count()); }
  // Whether the last edit was refused since the last call (the flag is cleared).
  bool TakeRefusal();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

 signals:
  // These come while the grid commits an edit: connect them queued, so that a message box
  // or a reload happens after the grid has finished with its editor.
  void addressRefused(int row, int problem, const QString& typed);
  void subscriberAdded();
  void storeFailed(const QString& procedure, const QString& error);

 private:
  void Reset(const std::function<void()>& change);

  mutable SubscriberList list_;
  bool refused_ = false;
};

}  // namespace ar
