#include "widgets/web/UrlProbe.h"

#include <QEventLoop>
#include <QTimer>
#include <QUrl>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <memory>

namespace ar {

UrlProbe::UrlProbe(QObject* parent) : QObject(parent), profile_(new QWebEngineProfile(this)) {}

bool UrlProbe::Responds(const std::string& address, int timeoutMs) {
  const QUrl url(QString::fromStdString(address), QUrl::StrictMode);
  if (!url.isValid() || url.host().isEmpty() || (url.scheme() != "http" && url.scheme() != "https")) return false;

  // A page per probe: whatever a stopped navigation still reports goes with its page.
  auto page = std::make_unique<QWebEnginePage>(profile_);
  QEventLoop wait;
  bool answered = false, reached = false;
  QObject::connect(page.get(), &QWebEnginePage::loadingChanged, &wait, [&](const QWebEngineLoadingInfo& info) {
    if (answered || info.status() == QWebEngineLoadingInfo::LoadStartedStatus) return;
    answered = true;
    // A server's error page loads as well as any other: its status tells.
    const bool errorStatus =
        info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain && info.errorCode() >= 400;
    reached = info.status() == QWebEngineLoadingInfo::LoadSucceededStatus && !errorStatus;
    wait.quit();
  });
  QTimer limit;
  limit.setSingleShot(true);
  limit.setTimerType(Qt::PreciseTimer);  // a coarse timer may end the wait early
  QObject::connect(&limit, &QTimer::timeout, &wait, &QEventLoop::quit);
  limit.start(timeoutMs);
  page->load(url);
  if (!answered) wait.exec(QEventLoop::ExcludeUserInputEvents);
  QObject::disconnect(page.get(), nullptr, &wait, nullptr);
  if (!answered) page->triggerAction(QWebEnginePage::Stop);
  return reached;
}

}  // namespace ar
