#pragma once
// Whether an address can be reached, tried with a web page of its own (never the
// editor's), within a time limit, while the window stays responsive.
#include <QObject>

#include <string>

namespace ar {

class UrlProbe : public QObject {
  Q_OBJECT
 public:
  explicit UrlProbe(QObject* parent = nullptr);
  // True when the address answers within the limit.
  bool Responds(const std::string& address, int timeoutMs = 5000);
};

}  // namespace ar
