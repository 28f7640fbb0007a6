// Draws the preview picture of every shipped template (its name with ".jpg" for ".html")
// and "nopreviewfile.jpg", the picture shown for a template without one. Built only on
// request; run it after changing a template and commit the pictures:
//   cmake --build build --target make_template_previews
//   QT_QPA_PLATFORM=offscreen build/tools/make_template_previews control/window/templates
// (run as root, the web engine needs QTWEBENGINE_DISABLE_SANDBOX=1, which it sets itself).
#include "widgets/web/HtmlPreview.h"
#include "widgets/web/WebEngineSetUp.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QWebEngineView>
#include <iostream>

namespace {

constexpr int kPageWidth = 640;
constexpr int kPageHeight = 760;
constexpr int kPictureWidth = 320;
constexpr int kPictureHeight = 380;

bool Blank(const QImage& image) {
  const QRgb first = image.pixel(0, 0);
  for (int y = 0; y < image.height(); y += 7)
    for (int x = 0; x < image.width(); x += 7)
      if (image.pixel(x, y) != first) return false;
  return true;
}

void Settle(int ms) {
  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The page as drawn. The engine paints a little after the load has finished, and until
// then the view still shows what it showed before: an empty page comes first.
QImage Drawn(ar::HtmlPreview& preview, const std::string& path) {
  preview.ShowDocument("");
  QElapsedTimer waited;
  waited.start();
  while (!Blank(preview.View()->grab().toImage()) && waited.elapsed() < 10000) Settle(50);
  if (!preview.ShowFile(path)) return {};
  waited.restart();
  while (Blank(preview.View()->grab().toImage()) && waited.elapsed() < 10000) Settle(50);
  Settle(500);
  return preview.View()->grab().toImage();
}

bool Save(const QImage& page, const QString& file) {
  const QImage picture =
      page.scaled(kPictureWidth, kPictureHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(
          QImage::Format_RGB32);
  return picture.save(file, "JPG", 88);
}

QImage NoPreview() {
  QImage image(kPageWidth, kPageHeight, QImage::Format_RGB32);
  image.fill(QColor("#EEF0F3"));
  QPainter painter(&image);
  painter.setPen(QPen(QColor("#B8C0CA"), 6));
  painter.drawRect(40, 40, kPageWidth - 80, kPageHeight - 80);
  QFont font("DejaVu Sans");
  font.setPixelSize(44);
  painter.setFont(font);
  painter.setPen(QColor("#7B8794"));
  painter.drawText(image.rect(), Qt::AlignCenter, "No preview");
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_template_previews TEMPLATE_FOLDER\n";
    return 2;
  }
  ar::PrepareWebEngine();
  QApplication app(argc, argv);
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  ar::HtmlPreview preview;
  preview.resize(kPageWidth, kPageHeight);
  preview.show();
  int failures = 0;
  for (const QString& name : folder.entryList({"*.html", "*.htm"}, QDir::Files, QDir::Name)) {
    const QString picture = folder.filePath(name.left(name.lastIndexOf('.')) + ".jpg");
    const QImage page = Drawn(preview, folder.filePath(name).toStdString());
    if (page.isNull() || Blank(page) || !Save(page, picture)) {
      std::cerr << "cannot draw " << name.toStdString() << "\n";
      ++failures;
      continue;
    }
    std::cout << picture.toStdString() << "\n";
  }
  if (!Save(NoPreview(), folder.filePath("nopreviewfile.jpg"))) ++failures;
  return failures == 0 ? 0 : 1;
}
