#include "widgets/CustomButton.h"

#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <stdexcept>

namespace ar {

CustomButton::CustomButton(QWidget* parent) : QAbstractButton(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_Hover);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void CustomButton::SetPictures(const QPixmap& normal, const QPixmap& pressed, const QPixmap& hover,
                               const QPixmap& disabled) {
  normal_ = normal;
  pressed_ = pressed;
  hover_ = hover;
  disabled_ = disabled;
  updateGeometry();
  update();
}

bool CustomButton::LoadPictures(const QString& folder, const QString& name) {
  const QString base = folder + "/" + name;
  const QPixmap normal(base + ".png");
  if (normal.isNull()) return false;
  SetPictures(normal, QPixmap(base + "-down.png"), QPixmap(base + "-over.png"), QPixmap(base + "-off.png"));
  return true;
}

void CustomButton::SetBackColor(const QColor& color) {
  backColor_ = color;
  update();
}

void CustomButton::SetButtonMode(int mode) {
  if (mode != 0 && mode != 1) throw std::invalid_argument("Invalid ButtonMode value (0 or 1 only)");
  mode_ = mode;
  setCheckable(mode == 1);
  update();
}

CustomButton::Face CustomButton::CurrentFace() const {
  if (!isEnabled()) return Face::Disabled;
  if (isDown() || (isCheckable() && isChecked())) return Face::Pressed;
  if (hovered_) return Face::Hover;
  return Face::Normal;
}

const QPixmap& CustomButton::FacePicture(Face face) const {
  switch (face) {
    case Face::Pressed: return pressed_.isNull() ? normal_ : pressed_;
    case Face::Hover: return hover_.isNull() ? normal_ : hover_;
    case Face::Disabled: return disabled_;
    case Face::Normal: break;
  }
  return normal_;
}

QSize CustomButton::sizeHint() const {
  if (HasPictures()) return normal_.deviceIndependentSize().toSize();
  QStyleOptionButton option;
  option.initFrom(this);
  option.text = text();
  const QSize textSize = fontMetrics().size(Qt::TextShowMnemonic, text());
  return style()->sizeFromContents(QStyle::CT_PushButton, &option, textSize, this).expandedTo(QSize(90, 30));
}

void CustomButton::paintEvent(QPaintEvent*) {
  const Face face = CurrentFace();
  if (!HasPictures()) {
    PaintTextFace(face);
    return;
  }
  if (face == Face::Disabled && disabled_.isNull()) {
    // The faded face of the style, made once from the normal picture.
    QStyleOption option;
    option.initFrom(this);
    disabled_ = style()->generatedIconPixmap(QIcon::Disabled, normal_, &option);
  }
  QPainter painter(this);
  if (backColor_.isValid()) painter.fillRect(rect(), backColor_);
  const QPixmap& picture = FacePicture(face);
  const QSize size = picture.deviceIndependentSize().toSize();
  painter.drawPixmap(QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size), picture);
  if (hasFocus()) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(255, 255, 255, 220), 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(4.5, 4.5, -4.5, -4.5), 3, 3);
  }
}

void CustomButton::PaintTextFace(Face face) {
  QStylePainter painter(this);
  if (backColor_.isValid()) painter.fillRect(rect(), backColor_);
  QStyleOptionButton option;
  option.initFrom(this);
  option.text = text();
  option.state |= face == Face::Pressed ? QStyle::State_Sunken : QStyle::State_Raised;
  if (isCheckable() && isChecked()) option.state |= QStyle::State_On;
  if (face == Face::Hover) option.state |= QStyle::State_MouseOver;
  painter.drawControl(QStyle::CE_PushButton, option);
}

void CustomButton::enterEvent(QEnterEvent* event) {
  hovered_ = true;
  update();
  QAbstractButton::enterEvent(event);
}

void CustomButton::leaveEvent(QEvent* event) {
  hovered_ = false;
  update();
  QAbstractButton::leaveEvent(event);
}

void CustomButton::mousePressEvent(QMouseEvent* event) {
  emit MouseDown(event->button(), event->modifiers(), event->position().toPoint());
  QAbstractButton::mousePressEvent(event);
}

void CustomButton::mouseReleaseEvent(QMouseEvent* event) {
  emit MouseUp(event->button(), event->modifiers(), event->position().toPoint());
  QAbstractButton::mouseReleaseEvent(event);
}

void CustomButton::mouseMoveEvent(QMouseEvent* event) {
  emit MouseMove(event->buttons(), event->modifiers(), event->position().toPoint());
  QAbstractButton::mouseMoveEvent(event);
}

void CustomButton::mouseDoubleClickEvent(QMouseEvent* event) {
  emit DoubleClicked();
  QAbstractButton::mouseDoubleClickEvent(event);
}

void CustomButton::keyPressEvent(QKeyEvent* event) {
  emit KeyDown(event->key(), event->modifiers());
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
    click();
    event->accept();
    return;
  }
  QAbstractButton::keyPressEvent(event);
}

void CustomButton::keyReleaseEvent(QKeyEvent* event) {
  emit KeyUp(event->key(), event->modifiers());
  QAbstractButton::keyReleaseEvent(event);
}

}  // namespace ar
