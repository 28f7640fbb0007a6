#pragma once
// The editor's subscriber grid: a table view that tells whether an address is being typed
// and passes the Delete key on to the editor's delete operation.
#include <QKeyEvent>
#include <QTableView>

namespace ar {

class SubscriberGrid : public QTableView {
  Q_OBJECT
 public:
  using QTableView::QTableView;
  bool Editing() const { return state() == EditingState; }

 signals:
  void deletePressed();

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Delete && !Editing()) {
      emit deletePressed();
      return;
    }
    QTableView::keyPressEvent(event);
  }
};

}  // namespace ar
