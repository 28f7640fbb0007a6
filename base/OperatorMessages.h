#pragma once
// How a program tells the operator something: a message box in application mode, a
// journal entry in service mode.
#include <string>

namespace ar {

enum class MessageIcon { None, Critical, Information, Question, Exclamation };

// How the outcome reaches the operator: a message box in application mode, a journal
// entry in service mode. An empty title means the program's own.
class OperatorMessages {
 public:
  virtual ~OperatorMessages() = default;
  virtual void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) = 0;
};

}  // namespace ar
