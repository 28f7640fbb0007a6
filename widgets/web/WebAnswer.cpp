#include "widgets/web/WebAnswer.h"

#include <QEventLoop>
#include <QTimer>

namespace ar {

void WebAnswer::Give(const QVariant& value) {
  if (given_) return;
  given_ = true;
  value_ = value;
  if (loop_) loop_->quit();
}

std::optional<QVariant> WebAnswer::Wait(int boundMs) {
  if (!given_) {
    QEventLoop loop;
    QTimer bound;
    bound.setSingleShot(true);
    QObject::connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
    bound.start(boundMs);
    loop_ = &loop;
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    loop_ = nullptr;
  }
  if (!given_) return std::nullopt;
  return value_;
}

}  // namespace ar
