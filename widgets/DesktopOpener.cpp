#include "widgets/DesktopOpener.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace ar {
namespace {
std::function<void(const std::string&)>& Recorder() {
  static std::function<void(const std::string&)> recorder;
  return recorder;
}
}  // namespace

void DesktopOpener::SetRecorder(std::function<void(const std::string&)> recorder) { Recorder() = std::move(recorder); }

bool DesktopOpener::Open(const std::string& path) {
  if (Recorder()) {
    Recorder()(path);
    return true;
  }
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

}  // namespace ar
