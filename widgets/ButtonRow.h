#pragma once
// The row of buttons at the foot of a dialog: pushed to the right, in the order given.
#include <QHBoxLayout>
#include <QWidget>

#include <initializer_list>

namespace ar {

inline QHBoxLayout* ButtonRow(std::initializer_list<QWidget*> buttons) {
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  for (QWidget* button : buttons) row->addWidget(button);
  return row;
}

}  // namespace ar
