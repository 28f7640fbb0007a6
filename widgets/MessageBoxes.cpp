#include "widgets/MessageBoxes.h"

#include <QMessageBox>
#include <QString>

namespace ar {
namespace {

struct TestAnswers {
  bool active = false;
  std::function<void(const ShownMessage&)> answerer;
  std::vector<ShownMessage> shown;
};

TestAnswers& Answers() {
  static TestAnswers answers;
  return answers;
}

QMessageBox::Icon QtIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Critical: return QMessageBox::Critical;
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

void MessageBoxes::Show(QWidget* parent, const std::string& text, const std::string& title, MessageIcon icon) {
  const ShownMessage shown{text, title.empty() ? "Autoresponder" : title, icon};
  TestAnswers& answers = Answers();
  if (answers.active) {
    answers.shown.push_back(shown);
    if (answers.answerer) answers.answerer(shown);
    return;
  }
  QMessageBox box(QtIcon(icon), QString::fromStdString(shown.title), QString::fromStdString(shown.text),
                  QMessageBox::Ok, parent);
  box.exec();
}

void MessageBoxes::AnswerForTests(std::function<void(const ShownMessage&)> answerer) {
  Answers().active = true;
  Answers().answerer = std::move(answerer);
}

void MessageBoxes::ShowForReal() { Answers() = TestAnswers{}; }

const std::vector<ShownMessage>& MessageBoxes::Shown() { return Answers().shown; }

void MessageBoxes::ClearShown() { Answers().shown.clear(); }

}  // namespace ar
