#pragma once
// Every message box of the windows goes through here, so that a test can answer the boxes
// instead of a person (a test never waits on a modal box) and see what would have been
// shown.
#include "mail/SummaryMail.h"

#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace ar {

struct ShownMessage {
  std::string text;
  std::string title;  // never empty: "Autoresponder" when none was given
  MessageIcon icon;
};

class MessageBoxes {
 public:
  // Shows a modal box with an OK button (an empty title means "Autoresponder") and
  // returns when it is closed. While boxes are answered for a test, the box is recorded,
  // handed to the test's answerer (if any) and not shown.
  static void Show(QWidget* parent, const std::string& text, const std::string& title, MessageIcon icon);

  // Tests: answer every box from now on instead of showing it; Shown() collects them.
  // answerer, when given, runs at the moment the box would be open.
  static void AnswerForTests(std::function<void(const ShownMessage&)> answerer = nullptr);
  // Back to real boxes; forgets what was recorded.
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
