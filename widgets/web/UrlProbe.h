#pragma once
// Whether an address can be reached, tried with a web page of its own (never the
// editor's), within a time limit, while the window stays responsive.
#include <QObject>

#include <string>

class QWebEngineProfile;

namespace ar {

class UrlProbe : public QObject {
  Q_OBJECT
 public:
  explicit UrlProbe(QObject* parent = nullptr);

  // True when the http or https address loads within the limit and its server does not
  // answer with an error status (400 or more). Any other address is not navigated and
  // gives false. While it waits, the windows repaint and timers run, but the operator's
  // clicks and keys wait until the answer is in, so that nothing the check depends on can
  // close or change under it. A navigation that runs out of time is stopped; its late
  // answer is ignored.
  bool Responds(const std::string& address, int timeoutMs = 5000);

 private:
  // Off the record: nothing a probe loads is kept on disk or seen by the editor's pages.
  QWebEngineProfile* profile_;
};

}  // namespace ar
