#include "monitor/window/ShowRequestServer.h"

#include "monitor/ShowRequest.h"

#include <QLocalSocket>

namespace ar {
namespace {
constexpr qint64 kLongestRequest = 16;
}

ShowRequestServer::ShowRequestServer(const std::string& dataFolder, std::function<void()> show, QObject* parent)
    : QObject(parent), show_(std::move(show)) {
  const QString path = QString::fromStdString(MonitorSocketPath(dataFolder));
  QLocalServer::removeServer(path);
  server_.setSocketOptions(QLocalServer::UserAccessOption | QLocalServer::GroupAccessOption);
  connect(&server_, &QLocalServer::newConnection, this, &ShowRequestServer::Accept);
  server_.listen(path);
}

void ShowRequestServer::Accept() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // One short line per connection; anything else is ignored.
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      if (!socket->canReadLine() && socket->bytesAvailable() < kLongestRequest) return;  // the rest is on its way
      if (socket->readLine(kLongestRequest) == kMonitorShowRequest) show_();
      socket->disconnectFromServer();
    });
  }
}

}  // namespace ar
