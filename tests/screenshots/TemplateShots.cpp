// The template window over a sample templates folder with preview pictures, the import
// window, the gallery, the page properties and the HEAD editor.
#include "control/events/Templates.h"
#include "control/program/ControlProgram.h"
#include "control/window/events/frmHEADEditor.h"
#include "control/window/events/frmPageProperties.h"
#include "control/window/main/WindowOpeners.h"
#include "control/window/templates/frmExternalTemplates.h"
#include "control/window/templates/frmTemplateImport.h"
#include "control/window/templates/frmTemplates.h"
#include "store/DataFolder.h"
#include "store/DurableFile.h"
#include "tests/screenshots/Shots.h"
#include "tests/support/TempFolder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

namespace ar::shots {
namespace {

// A newsletter's look in miniature: a coloured banner, a title and lines of text.
void DrawPreview(const std::string& path, const QColor& banner, const QString& title) {
  QImage image(240, 300, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.fillRect(0, 0, 240, 70, banner);
  p.setPen(Qt::white);
  p.setFont(QFont("DejaVu Sans", 16, QFont::Bold));
  p.drawText(QRect(0, 0, 240, 70), Qt::AlignCenter, title);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xCC, 0xCC, 0xCC));
  for (int y = 95; y < 270; y += 18) p.drawRect(20, y, y % 54 == 5 ? 130 : 200, 8);
  p.end();
  image.save(QString::fromStdString(path), "JPG", 90);
}

// The sample templates, made once: three with pictures of their own, one without.
std::string SampleTemplates(ShotContext& c) {
  const std::string folder = c.dataFolder + "/sample-templates";
  if (FolderExists(folder)) return folder;
  MakeFolders(folder);
  const struct {
    const char* name;
    QColor banner;
    const char* title;
  } samples[] = {{"Autumn Newsletter.html", QColor(0xC0, 0x5A, 0x1E), "Autumn News"},
                 {"Course Welcome.htm", QColor(0x1E, 0x6E, 0xB4), "Welcome!"},
                 {"Product Launch.html", QColor(0x2E, 0x8B, 0x57), "New: Model 7"}};
  for (const auto& s : samples) {
    test::WriteWholeFile(folder + "/" + s.name,
                         std::string("<HEAD>\r\n<TITLE>") + s.title + "</TITLE>\r\n</HEAD>\r\n<BODY>\r\n<H1>" + s.title +
                             "</H1>\r\n</BODY>\r\n");
    DrawPreview(folder + "/" + PreviewPictureName(s.name), s.banner, s.title);
  }
  test::WriteWholeFile(folder + "/Plain Letter.htm", "<BODY><P>Dear reader,</P></BODY>\r\n");
  CopyFile(TemplatesFolder(c.program.ProgramFolder()) + "/" + kNoPreviewPicture, folder + "/" + kNoPreviewPicture);
  c.program.Main().Execute("update tblConfiguration set DefaultTemplate='Course Welcome.htm'");
  return folder;
}

void Settle(const std::function<bool()>& done, int limitMs) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < limitMs) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

AR_SHOT(70, "frmTemplates", [](ShotContext& c) -> QWidget* {
  auto* window = new frmTemplates(c.program.Main(), SampleTemplates(c), true);
  window->move(40, 40);
  window->show();
  return window;
});

AR_SHOT(71, "frmTemplateImport", [](ShotContext& c) -> QWidget* {
  auto* window = new frmTemplateImport(SampleTemplates(c));
  window->findChild<QLineEdit*>("txtFileName")->setText("/home/ann/Documents/Spring Sale.html");
  window->move(40, 40);
  window->show();
  return window;
});

AR_SHOT(72, "frmExternalTemplates", [](ShotContext& c) -> QWidget* {
  auto* window = new frmExternalTemplates(SampleTemplates(c));
  window->move(20, 20);
  bool loaded = false;
  QObject::connect(window->Browser(), &QWebEngineView::loadFinished, window, [&loaded] { loaded = true; });
  window->show();
  Settle([&] { return loaded; }, 20000);
  // The pictures load after the page.
  bool pictures = false;
  QElapsedTimer timer;
  timer.start();
  while (!pictures && timer.elapsed() < 10000) {
    bool answered = false;
    window->Browser()->page()->runJavaScript(
        "Array.from(document.images).every(i => i.complete && i.naturalWidth > 0)", QWebEngineScript::ApplicationWorld,
        [&](const QVariant& v) {
          pictures = v.toBool();
          answered = true;
        });
    Settle([&] { return answered; }, 5000);
  }
  Settle([] { return false; }, 300);
  return window;
});

// The properties an event might have: a white page with blue links and a paper picture.
PageProperties& SampleProperties() {
  static PageProperties properties{"<TITLE>Autumn News</TITLE>\r\n<STYLE>\r\n  body { font-family: Georgia, serif; }\r\n"
                                   "  h1 { color: #C05A1E; }\r\n</STYLE>",
                                   "#FFFFFF", "/home/ann/pictures/paper.gif", "#1A2B3C", "", "#551A8B"};
  return properties;
}

AR_SHOT(73, "frmPageProperties", [](ShotContext&) -> QWidget* {
  auto* window = new frmPageProperties(SampleProperties());
  window->move(40, 40);
  window->show();
  return window;
});

AR_SHOT(74, "frmHEADEditor", [](ShotContext&) -> QWidget* {
  CurrentAutoresponderID() = 1;
  auto* window = new frmHEADEditor(SampleProperties().head);
  window->move(40, 40);
  window->show();
  return window;
});

}  // namespace
}  // namespace ar::shots
