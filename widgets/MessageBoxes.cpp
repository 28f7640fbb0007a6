#include "widgets/MessageBoxes.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QString>
#include <deque>

namespace ar {
namespace {

struct TestAnswers {
  bool active = false;
  std::function<void(const ShownMessage&)> answerer;
  std::vector<ShownMessage> shown;
  std::deque<Answer> answers;
  std::deque<std::optional<std::string>> inputs;
};

TestAnswers& Answers() {
  static TestAnswers answers;
  return answers;
}

QMessageBox::Icon QtIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Critical: return QMessageBox::Critical;
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::Exclamation: return QMessageBox::Warning;
    case MessageIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons QtButtons(Buttons buttons) {
  switch (buttons) {
    case Buttons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case Buttons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case Buttons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case Buttons::Ok: break;
  }
  return QMessageBox::Ok;
}

QMessageBox::StandardButton QtButton(Answer answer) {
  switch (answer) {
    case Answer::Cancel: return QMessageBox::Cancel;
    case Answer::Yes: return QMessageBox::Yes;
    case Answer::No: return QMessageBox::No;
    case Answer::Ok: break;
  }
  return QMessageBox::Ok;
}

// What closing the box without pressing a button means.
Answer Dismissed(Buttons buttons) {
  switch (buttons) {
    case Buttons::OkCancel:
    case Buttons::YesNoCancel: return Answer::Cancel;
    case Buttons::YesNo: return Answer::No;
    case Buttons::Ok: break;
  }
  return Answer::Ok;
}

Answer FromQt(int button, Buttons buttons) {
  switch (button) {
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Cancel: return Answer::Cancel;
    default: return Dismissed(buttons);
  }
}

// Records a box while tests answer them; false when boxes are shown for real.
bool Recorded(const ShownMessage& shown) {
  TestAnswers& answers = Answers();
  if (!answers.active) return false;
  answers.shown.push_back(shown);
  if (answers.answerer) answers.answerer(shown);
  return true;
}

std::string TitleOrDefault(const std::string& title) { return title.empty() ? "Autoresponder" : title; }

}  // namespace

void MessageBoxes::Show(QWidget* parent, const std::string& text, const std::string& title, MessageIcon icon) {
  ShownMessage shown;
  shown.text = text;
  shown.title = TitleOrDefault(title);
  shown.icon = icon;
  if (Recorded(shown)) return;
  QMessageBox box(QtIcon(icon), QString::fromStdString(shown.title), QString::fromStdString(shown.text),
                  QMessageBox::Ok, parent);
  box.exec();
}

Answer MessageBoxes::Ask(QWidget* parent, const std::string& text, const std::string& title, MessageIcon icon,
                         Buttons buttons, std::optional<Answer> defaultAnswer) {
  ShownMessage shown;
  shown.text = text;
  shown.title = TitleOrDefault(title);
  shown.icon = icon;
  shown.buttons = buttons;
  shown.defaultAnswer = defaultAnswer;
  if (Recorded(shown)) {
    auto& queued = Answers().answers;
    if (queued.empty()) return Dismissed(buttons);
    const Answer answer = queued.front();
    queued.pop_front();
    return answer;
  }
  QMessageBox box(QtIcon(icon), QString::fromStdString(shown.title), QString::fromStdString(shown.text),
                  QtButtons(buttons), parent);
  if (defaultAnswer) box.setDefaultButton(QtButton(*defaultAnswer));
  return FromQt(box.exec(), buttons);
}

std::optional<std::string> MessageBoxes::Input(QWidget* parent, const std::string& prompt, const std::string& title,
                                               const std::string& defaultText) {
  const ShownMessage shown{prompt, TitleOrDefault(title), MessageIcon::None, Buttons::OkCancel, true, defaultText};
  if (Recorded(shown)) {
    auto& queued = Answers().inputs;
    if (queued.empty()) return std::nullopt;
    std::optional<std::string> text = queued.front();
    queued.pop_front();
    return text;
  }
  bool ok = false;
  const QString text = QInputDialog::getText(parent, QString::fromStdString(shown.title),
                                             QString::fromStdString(prompt), QLineEdit::Normal,
                                             QString::fromStdString(defaultText), &ok);
  if (!ok) return std::nullopt;
  return text.toStdString();
}

void MessageBoxes::AnswerForTests(std::function<void(const ShownMessage&)> answerer) {
  Answers().active = true;
  Answers().answerer = std::move(answerer);
}

void MessageBoxes::QueueAnswer(Answer answer) { Answers().answers.push_back(answer); }

void MessageBoxes::QueueInput(std::optional<std::string> text) { Answers().inputs.push_back(std::move(text)); }

void MessageBoxes::ShowForReal() { Answers() = TestAnswers{}; }

const std::vector<ShownMessage>& MessageBoxes::Shown() { return Answers().shown; }

void MessageBoxes::ClearShown() { Answers().shown.clear(); }

}  // namespace ar
