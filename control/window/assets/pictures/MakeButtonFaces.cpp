// make_button_faces FOLDER: draws the faces of the autoresponder list's picture buttons
// (normal, pressed "-down" and pointer-over "-over") as PNG files into FOLDER. The
// pictures are kept with the sources; run this again after changing a caption or colour:
//   cmake --build build --target make_button_faces &&
//   QT_QPA_PLATFORM=offscreen build/tools/make_button_faces control/window/pictures
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

struct Face {
  const char* file;
  const char* caption;  // "&" marks the letter of the button's Alt key
  QColor top, bottom;
};

const Face kFaces[] = {
    {"button-new", "&New", QColor(0x4a, 0x8a, 0xd4), QColor(0x2a, 0x5e, 0xa3)},
    {"button-edit", "&Edit", QColor(0x4a, 0x8a, 0xd4), QColor(0x2a, 0x5e, 0xa3)},
    {"button-copy", "&Copy", QColor(0x4a, 0x8a, 0xd4), QColor(0x2a, 0x5e, 0xa3)},
    {"button-rename", "Rena&me", QColor(0x4a, 0x8a, 0xd4), QColor(0x2a, 0x5e, 0xa3)},
    {"button-delete", "&Delete", QColor(0xd0, 0x52, 0x4a), QColor(0x9c, 0x2c, 0x26)},
    {"button-run", "Run now", QColor(0x4c, 0xa8, 0x5a), QColor(0x2b, 0x7a, 0x3a)},
    {"button-summary", "Summary report", QColor(0x6b, 0x7a, 0x8c), QColor(0x46, 0x53, 0x63)},
    {"button-monitor", "Monitor", QColor(0x6b, 0x7a, 0x8c), QColor(0x46, 0x53, 0x63)},
};

constexpr int kWidth = 140;
constexpr int kHeight = 34;

enum class State { Normal, Down, Over };

QImage Draw(const Face& face, State state) {
  QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);

  QColor top = face.top, bottom = face.bottom;
  if (state == State::Over) {
    top = top.lighter(118);
    bottom = bottom.lighter(118);
  } else if (state == State::Down) {
    // Pressed: the light falls from below, a little darker.
    top = face.bottom.darker(112);
    bottom = face.top.darker(104);
  }

  const QRectF body = QRectF(image.rect()).adjusted(1, 1, -1, -2);
  // A soft shadow under the raised face; none while pressed.
  if (state != State::Down) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawRoundedRect(body.translated(0, 1.5), 6, 6);
  }
  QLinearGradient fill(body.topLeft(), body.bottomLeft());
  fill.setColorAt(0, top);
  fill.setColorAt(1, bottom);
  p.setBrush(fill);
  p.setPen(QPen(bottom.darker(135), 1));
  const QRectF shown = state == State::Down ? body.translated(0, 1) : body;
  p.drawRoundedRect(shown, 6, 6);
  // A light line along the upper edge gives the face its gloss.
  p.setPen(QPen(QColor(255, 255, 255, state == State::Down ? 30 : 90), 1));
  p.drawLine(QPointF(shown.left() + 6, shown.top() + 1.5), QPointF(shown.right() - 6, shown.top() + 1.5));

  QFont font("DejaVu Sans");
  font.setPixelSize(13);
  font.setBold(true);
  p.setFont(font);
  const QRectF text = shown.adjusted(4, 0, -4, 0);
  const int flags = Qt::AlignCenter | Qt::TextShowMnemonic;
  p.setPen(QColor(0, 0, 0, 90));
  p.drawText(text.translated(0, 1), flags, face.caption);
  p.setPen(Qt::white);
  p.drawText(text, flags, face.caption);
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_button_faces FOLDER\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  for (const Face& face : kFaces) {
    for (const auto& [state, suffix] : {std::pair{State::Normal, ""}, std::pair{State::Down, "-down"},
                                        std::pair{State::Over, "-over"}}) {
      const QString file = folder + "/" + face.file + suffix + ".png";
      if (!Draw(face, state).save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return 1;
      }
    }
  }
  return 0;
}
