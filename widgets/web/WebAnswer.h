#pragma once
// The web engine answers later (scripts, loads). A WebAnswer is shared between the caller,
// who waits for it, and the callback that gives it, which may come after the caller has
// stopped waiting: then it lands here and is dropped with the last reference.
#include <QVariant>

#include <memory>
#include <optional>

class QEventLoop;

namespace ar {

class WebAnswer {
 public:
  static std::shared_ptr<WebAnswer> Make() { return std::make_shared<WebAnswer>(); }

  // From the callback.
  void Give(const QVariant& value);

  // Waits in a local event loop that takes no user input (the window keeps painting but
  // nothing can be started meanwhile) until the answer comes or the bound has passed;
  // nothing when it did not come.
  std::optional<QVariant> Wait(int boundMs);

 private:
  bool given_ = false;
  QVariant value_;
  QEventLoop* loop_ = nullptr;
};

// How long the program waits for the engine before it counts a request as failed. The
// engine answers in milliseconds; the bound covers a busy machine and slow builds.
constexpr int kWebAnswerBoundMs = 30000;

}  // namespace ar
