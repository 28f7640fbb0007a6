#pragma once
// The listening end of the monitor's show requests (monitor/ShowRequest.h).
#include <QLocalServer>
#include <functional>
#include <string>

namespace ar {

class ShowRequestServer : public QObject {
  Q_OBJECT
 public:
  // Listens on the data folder's socket; the one monitor of the folder (it holds the
  // single-instance marker) replaces a socket file left by one that crashed.
  ShowRequestServer(const std::string& dataFolder, std::function<void()> show, QObject* parent = nullptr);

  bool Listening() const { return server_.isListening(); }
  std::string Error() const { return server_.errorString().toStdString(); }

 private:
  void Accept();

  QLocalServer server_;
  std::function<void()> show_;
};

}  // namespace ar
