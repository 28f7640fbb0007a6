#pragma once
// The documents the editor and the preview show are served from memory under an address
// scheme of the program's own rather than loaded from files or as inline data: no size
// limit, the text as the program read it (UTF-8), and images shown as the composer will
// find them. Under the one host "local", the address "/?doc=N" is document N; any other
// path is the local image file of that absolute path (what a relative or plain path in a
// document stands for), and only image files are served.
#include <QByteArray>
#include <QHash>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

namespace ar {

class LocalDocuments : public QWebEngineUrlSchemeHandler {
  Q_OBJECT
 public:
  static constexpr const char* kScheme = "arbody";
  // Images larger than this are not served.
  static constexpr qint64 kMaxImageBytes = 32 * 1024 * 1024;

  // The one handler of the process, installed on the default web profile.
  static LocalDocuments& Instance();

  // The address under which the document is served until it is withdrawn.
  QUrl Publish(const QByteArray& html);
  void Withdraw(const QUrl& address);
  // True when the address is one of the documents published here.
  bool IsPublished(const QUrl& address) const;

  void requestStarted(QWebEngineUrlRequestJob* job) override;

 private:
  LocalDocuments() = default;
  static int DocumentNumber(const QUrl& address);

  QHash<int, QByteArray> documents_;
  int next_ = 1;
};

}  // namespace ar
