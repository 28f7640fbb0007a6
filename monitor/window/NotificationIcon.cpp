#include "monitor/window/NotificationIcon.h"

#include <QIcon>
#include <QMenu>

namespace ar {

SystemTrayIcon::SystemTrayIcon(QObject* parent) : NotificationIcon(parent) {
  connect(&tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger) emit OpenRequested();
  });
}

bool SystemTrayIcon::Add(const QIcon& icon, const QString& toolTip, QMenu* menu) {
  tray_.setIcon(icon);
  tray_.setToolTip(toolTip);
  tray_.setContextMenu(menu);
  // Shown also without a notification area: started with the session, the monitor may
  // come before the desktop's panel, and the icon then docks once the panel is there.
  tray_.show();
  return QSystemTrayIcon::isSystemTrayAvailable();
}

void SystemTrayIcon::Modify() {
  if (tray_.isVisible()) tray_.setIcon(tray_.icon());
}

void SystemTrayIcon::Delete() { tray_.hide(); }

bool SystemTrayIcon::Shown() const { return tray_.isVisible() && QSystemTrayIcon::isSystemTrayAvailable(); }

}  // namespace ar
