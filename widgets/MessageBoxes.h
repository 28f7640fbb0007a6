#pragma once
// Every message box of the windows goes through here, so that tests can see what would
// have been shown and answer it instead of a person.
#include "mail/SummaryMail.h"

#include <functional>
#include <string>

class QWidget;

namespace ar {

struct ShownMessage {
  std::string text;
  std::string title;
  MessageIcon icon;
};

class MessageBoxes {
 public:
  // Shows a modal box (an empty title means "Autoresponder"), or hands it to the test's
  // answerer when one is set.
  static void Show(QWidget* parent, const std::string& text, const std::string& title, MessageIcon icon);

  // Tests: every box goes to the answerer instead of the screen; nullptr restores boxes.
  static void SetAnswerer(std::function<void(const ShownMessage&)> answerer);
};

// The operator messages of application mode: message boxes.
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
