#include "widgets/MessageBoxes.h"

#include <QMessageBox>
#include <QString>

namespace ar {
namespace {
std::function<void(const ShownMessage&)>& Answerer() {
  static std::function<void(const ShownMessage&)> answerer;
  return answerer;
}
}  // namespace

void MessageBoxes::SetAnswerer(std::function<void(const ShownMessage&)> answerer) { Answerer() = std::move(answerer); }

void MessageBoxes::Show(QWidget* parent, const std::string& text, const std::string& title, MessageIcon icon) {
  const ShownMessage shown{text, title.empty() ? "Autoresponder" : title, icon};
  if (Answerer()) return Answerer()(shown);
  const QMessageBox::Icon qtIcon = icon == MessageIcon::Critical      ? QMessageBox::Critical
                                   : icon == MessageIcon::Information ? QMessageBox::Information
                                                                      : QMessageBox::NoIcon;
  QMessageBox box(qtIcon, QString::fromStdString(shown.title), QString::fromStdString(shown.text), QMessageBox::Ok,
                  parent);
  box.exec();
}

}  // namespace ar
