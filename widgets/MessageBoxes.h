#pragma once
// Every message box, question and input box of the windows goes through here, so that a
// test can answer them instead of a person (a test never waits on a modal box) and see
// what would have been shown.
#include "base/OperatorMessages.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace ar {

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };

struct ShownMessage {
  std::string text;   // the message, or an input box's prompt
  std::string title;  // never empty: "Autoresponder" when none was given
  MessageIcon icon;
  Buttons buttons = Buttons::Ok;
  bool input = false;        // an input box
  std::string defaultText;   // an input box's default answer
  std::optional<Answer> defaultAnswer;  // the button Enter presses; none: the toolkit's choice
};

class MessageBoxes {
 public:
  // Shows a modal box with an OK button (an empty title means "Autoresponder") and
  // returns when it is closed. While boxes are answered for a test, the box is recorded,
  // handed to the test's answerer (if any) and not shown.
  static void Show(QWidget* parent, const std::string& text, const std::string& title, MessageIcon icon);

  // A modal question; the button pressed. Closing the box counts as Cancel where there is
  // a Cancel button, else as No (or Ok for a box with only OK). defaultAnswer names the
  // button that Enter presses: a question whose Yes cannot be undone gives No.
  static Answer Ask(QWidget* parent, const std::string& text, const std::string& title, MessageIcon icon,
                    Buttons buttons, std::optional<Answer> defaultAnswer = std::nullopt);

  // A modal input box with OK and Cancel: the text typed, or nothing on Cancel.
  static std::optional<std::string> Input(QWidget* parent, const std::string& prompt, const std::string& title,
                                          const std::string& defaultText = "");

  // Tests: answer every box from now on instead of showing it; Shown() collects them.
  // answerer, when given, runs at the moment the box would be open. Questions and input
  // boxes take the queued answers in order; with none queued a question is answered as
  // if closed and an input box as if cancelled.
  static void AnswerForTests(std::function<void(const ShownMessage&)> answerer = nullptr);
  static void QueueAnswer(Answer answer);
  static void QueueInput(std::optional<std::string> text);
  // Back to real boxes; forgets what was recorded and queued.
  static void ShowForReal();
  static const std::vector<ShownMessage>& Shown();
  static void ClearShown();
};

// The operator messages of application mode: message boxes over the given window.
class QtOperatorMessages final : public OperatorMessages {
 public:
  explicit QtOperatorMessages(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }
  void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override {
    MessageBoxes::Show(parent_, text, title, icon);
  }

 private:
  QWidget* parent_;
};

}  // namespace ar
