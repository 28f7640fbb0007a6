#include "widgets/web/ContentPage.h"

#include "widgets/web/LocalDocuments.h"
#include "widgets/web/WebAnswer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QWebEngineLoadingInfo>
#include <QWebEngineScript>
#include <QWebEngineSettings>

namespace ar {

ContentPage::ContentPage(QObject* parent) : QWebEnginePage(parent) {
  QWebEngineSettings* s = settings();
  s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
  s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
  s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
  s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
  s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
}

ContentPage::~ContentPage() {
  if (!shown_.isEmpty()) LocalDocuments::Instance().Withdraw(shown_);
}

bool ContentPage::ShowDocument(const QByteArray& html) {
  LocalDocuments& documents = LocalDocuments::Instance();
  if (!shown_.isEmpty()) documents.Withdraw(shown_);
  shown_ = documents.Publish(html);
  const QUrl address = shown_;
  std::shared_ptr<WebAnswer> answer = WebAnswer::Make();
  const QMetaObject::Connection connection =
      connect(this, &QWebEnginePage::loadingChanged, this, [answer, address](const QWebEngineLoadingInfo& info) {
        if (info.url() != address) return;
        if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus) answer->Give(true);
        else if (info.status() != QWebEngineLoadingInfo::LoadStartedStatus) answer->Give(false);
      });
  load(address);
  const std::optional<QVariant> loaded = answer->Wait(kWebAnswerBoundMs);
  disconnect(connection);
  if (!loaded) triggerAction(QWebEnginePage::Stop);
  return loaded && loaded->toBool();
}

std::optional<QVariant> ContentPage::Run(const QString& script) {
  std::shared_ptr<WebAnswer> answer = WebAnswer::Make();
  runJavaScript(script, QWebEngineScript::ApplicationWorld, [answer](const QVariant& v) { answer->Give(v); });
  return answer->Wait(kWebAnswerBoundMs);
}

bool ContentPage::acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) {
  // A bookmark within the document is as good as the document.
  return isMainFrame && url.adjusted(QUrl::RemoveFragment) == shown_;
}

QString ScriptString(const QString& text) {
  // A JSON array of one string is a script literal as well; its brackets are cut off.
  const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
  return QString::fromUtf8(json.mid(1, json.size() - 2));
}

}  // namespace ar
