#pragma once
// A picture button: its face is a picture that changes while the button is pressed and
// while the pointer is over it, drawn over a back colour; a disabled button shows a
// faded face. It takes the keyboard focus, Space and Enter press it, and it passes its
// click, double-click, key and mouse notifications on as signals. Without pictures it
// draws an ordinary button with its text, so a window stays usable when a picture file
// is missing.
#include <QAbstractButton>
#include <QColor>
#include <QPixmap>

namespace ar {

class CustomButton : public QAbstractButton {
  Q_OBJECT
 public:
  enum class Face { Normal, Pressed, Hover, Disabled };

  explicit CustomButton(QWidget* parent = nullptr);

  // The faces; a disabled face is made from the normal one when none is given.
  void SetPictures(const QPixmap& normal, const QPixmap& pressed, const QPixmap& hover,
                   const QPixmap& disabled = QPixmap());
  // Loads folder/name.png with name-down.png (pressed), name-over.png (pointer over it)
  // and, when present, name-off.png (disabled). False, keeping the text face, when the
  // normal picture cannot be read.
  bool LoadPictures(const QString& folder, const QString& name);
  bool HasPictures() const { return !normal_.isNull(); }

  QColor BackColor() const { return backColor_; }
  void SetBackColor(const QColor& color);

  // 0: a push button; 1: a button that stays down when pressed until pressed again.
  int ButtonMode() const { return mode_; }
  // Throws std::invalid_argument "Invalid ButtonMode value (0 or 1 only)" for any other
  // value, and keeps the mode it had.
  void SetButtonMode(int mode);

  // The face shown now.
  Face CurrentFace() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 signals:
  void DoubleClicked();
  void KeyDown(int key, Qt::KeyboardModifiers modifiers);
  void KeyUp(int key, Qt::KeyboardModifiers modifiers);
  void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& position);
  void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& position);
  void MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, const QPoint& position);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  const QPixmap& FacePicture(Face face) const;
  void PaintTextFace(Face face);

  QPixmap normal_, pressed_, hover_, disabled_;
  QColor backColor_;
  int mode_ = 0;
  bool hovered_ = false;
};

}  // namespace ar
