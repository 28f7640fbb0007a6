#pragma once
// The monitor's icon in the desktop's notification area (SetTrayIcon's add, modify and
// delete), behind an interface so that tests can stand in for a desktop with or without
// a notification area.
#include <QObject>
#include <QSystemTrayIcon>

class QIcon;
class QMenu;

namespace ar {

class NotificationIcon : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;

  // Puts the icon with its tooltip and pop-up menu into the notification area; false
  // when the desktop has none (now).
  virtual bool Add(const QIcon& icon, const QString& toolTip, QMenu* menu) = 0;
  virtual void Modify() = 0;
  virtual void Delete() = 0;
  // Whether the icon is in the notification area now; a desktop may gain or lose its
  // notification area while the monitor runs.
  virtual bool Shown() const = 0;

 signals:
  // The operator asks for the window from the icon.
  void OpenRequested();
};

// The desktop's own notification area. Right-clicking the icon opens its menu at the
// pointer; a double click, and the single click that is all some notification areas
// report, ask for the window.
class SystemTrayIcon final : public NotificationIcon {
  Q_OBJECT
 public:
  explicit SystemTrayIcon(QObject* parent = nullptr);
  bool Add(const QIcon& icon, const QString& toolTip, QMenu* menu) override;
  void Modify() override;
  void Delete() override;
  bool Shown() const override;

 private:
  QSystemTrayIcon tray_;
};

}  // namespace ar
