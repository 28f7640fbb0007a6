#include "widgets/DetachedProgram.h"

#include <QProcess>
#include <QString>
#include <QStringList>

namespace ar {
namespace {

struct Recording {
  bool active = false;
  std::vector<std::vector<std::string>> started;
};

Recording& Recorded() {
  static Recording recording;
  return recording;
}

}  // namespace

bool DetachedProgram::Start(const std::vector<std::string>& command) {
  if (Recorded().active) {
    Recorded().started.push_back(command);
    return true;
  }
  if (command.empty()) return false;
  QStringList arguments;
  for (size_t i = 1; i < command.size(); ++i) arguments << QString::fromStdString(command[i]);
  return QProcess::startDetached(QString::fromStdString(command[0]), arguments);
}

void DetachedProgram::RecordForTests() { Recorded().active = true; }

void DetachedProgram::StartForReal() { Recorded() = Recording{}; }

const std::vector<std::vector<std::string>>& DetachedProgram::Started() { return Recorded().started; }

}  // namespace ar
