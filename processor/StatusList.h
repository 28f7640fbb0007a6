#pragma once
// The run's progress list (lbStatus): general date-time, " - ", message; never more
// than 1001 lines, the oldest dropped first.
#include <deque>
#include <functional>
#include <string>

namespace ar {

class StatusList {
 public:
  static constexpr size_t kMaxLines = 1001;

  // Called after each line is added; dropped tells that the oldest line went first.
  using Observer = std::function<void(const std::string& line, bool dropped)>;

  void LogStatus(const std::string& message);
  void SetObserver(Observer observer) { observer_ = std::move(observer); }
  const std::deque<std::string>& Lines() const { return lines_; }

 private:
  std::deque<std::string> lines_;
  Observer observer_;
};

}  // namespace ar
