#include "widgets/Pause.h"

#include <QEventLoop>
#include <QTimer>

namespace ar {
namespace {

struct Instant {
  bool active = false;
  std::vector<int> waits;
};

Instant& Waits() {
  static Instant instant;
  return instant;
}

}  // namespace

void Pause::For(int milliseconds) {
  if (Waits().active) {
    Waits().waits.push_back(milliseconds);
    return;
  }
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void Pause::InstantForTests() { Waits().active = true; }

void Pause::WaitForReal() { Waits() = Instant{}; }

const std::vector<int>& Pause::Recorded() { return Waits().waits; }

}  // namespace ar
