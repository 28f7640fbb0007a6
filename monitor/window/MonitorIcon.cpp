#include "monitor/window/MonitorIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace ar {
namespace {

QPixmap Draw(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);
  // Three bars behind the letter.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 160, 0));
  p.drawRect(QRectF(17, 14, 4, 16));
  p.drawRect(QRectF(22, 9, 4, 21));
  p.drawRect(QRectF(27, 3, 4, 27));
  // The letter.
  p.setBrush(QColor(250, 250, 250));
  p.setPen(QPen(QColor(30, 60, 140), 2));
  p.drawRoundedRect(QRectF(2, 12, 20, 14), 2, 2);
  QPainterPath flap;
  flap.moveTo(2.5, 13);
  flap.lineTo(12, 20);
  flap.lineTo(21.5, 13);
  p.setBrush(Qt::NoBrush);
  p.drawPath(flap);
  return pixmap;
}

}  // namespace

QIcon MonitorIcon() {
  QIcon icon;
  for (int size : {16, 22, 32, 48, 64}) icon.addPixmap(Draw(size));
  return icon;
}

}  // namespace ar
