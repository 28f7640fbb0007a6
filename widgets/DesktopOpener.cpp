#include "widgets/DesktopOpener.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace ar {
namespace {

struct Recording {
  bool active = false;
  std::vector<std::string> opened;
};

Recording& Recorded() {
  static Recording recording;
  return recording;
}

}  // namespace

bool DesktopOpener::Open(const std::string& path) {
  if (Recorded().active) {
    Recorded().opened.push_back(path);
    return true;
  }
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

void DesktopOpener::RecordForTests() { Recorded().active = true; }

void DesktopOpener::OpenForReal() { Recorded() = Recording{}; }

const std::vector<std::string>& DesktopOpener::Opened() { return Recorded().opened; }

}  // namespace ar
