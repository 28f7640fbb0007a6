#include "widgets/web/LocalDocuments.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QUrlQuery>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>

namespace ar {

LocalDocuments& LocalDocuments::Instance() {
  static LocalDocuments* documents = [] {
    auto* created = new LocalDocuments;
    QWebEngineProfile::defaultProfile()->installUrlSchemeHandler(kScheme, created);
    return created;
  }();
  return *documents;
}

QUrl LocalDocuments::Publish(const QByteArray& html) {
  const int number = next_++;
  documents_.insert(number, html);
  QUrl address;
  address.setScheme(kScheme);
  address.setHost("local");
  address.setPath("/");
  address.setQuery("doc=" + QString::number(number));
  return address;
}

void LocalDocuments::Withdraw(const QUrl& address) { documents_.remove(DocumentNumber(address)); }

bool LocalDocuments::IsPublished(const QUrl& address) const {
  return address.scheme() == kScheme && documents_.contains(DocumentNumber(address));
}

int LocalDocuments::DocumentNumber(const QUrl& address) {
  if (address.path() != "/") return 0;
  return QUrlQuery(address).queryItemValue("doc").toInt();
}

void LocalDocuments::requestStarted(QWebEngineUrlRequestJob* job) {
  const QUrl address = job->requestUrl();
  if (job->requestMethod() != "GET" || address.host() != "local") {
    job->fail(QWebEngineUrlRequestJob::RequestDenied);
    return;
  }
  if (address.path() == "/") {
    const auto document = documents_.constFind(DocumentNumber(address));
    if (document == documents_.constEnd()) {
      job->fail(QWebEngineUrlRequestJob::UrlNotFound);
      return;
    }
    auto* buffer = new QBuffer(job);
    buffer->setData(*document);
    job->reply("text/html;charset=utf-8", buffer);
    return;
  }
  const QString path = address.path(QUrl::FullyDecoded);
  const QFileInfo file(path);
  if (!file.isFile() || file.size() > kMaxImageBytes) {
    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    return;
  }
  const QMimeType type = QMimeDatabase().mimeTypeForFile(file);
  QFile image(path);
  if (!type.name().startsWith("image/") || !image.open(QIODevice::ReadOnly)) {
    job->fail(QWebEngineUrlRequestJob::RequestDenied);
    return;
  }
  auto* buffer = new QBuffer(job);
  buffer->setData(image.readAll());
  job->reply(type.name().toUtf8(), buffer);
}

}  // namespace ar
