// The template gallery: a page of the program's own that lists the templates folder with
// the preview pictures, shown in a real web view on the offscreen platform.
#include "control/window/templates/frmExternalTemplates.h"
#include "control/window/templates/frmTemplates.h"
#include "tests/control/window/ModalWindows.h"
#include "tests/control/window/WebEngineTest.h"
#include "tests/support/TempFolder.h"

#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QUrl>
#include <QWebEngineView>

namespace ar {
namespace {

class Gallery : public test::WebEngineTest {
 protected:
  // The value of a script run beside the page (whose own scripts are off), once it is in.
  static QVariant Evaluate(QWebEngineView* view, const QString& script) {
    QVariant result;
    bool done = false;
    view->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld, [&](const QVariant& value) {
      result = value;
      done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 10000)) << script.toStdString();
    return result;
  }
  void Picture(const std::string& name) {
    QImage image(30, 40, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    ASSERT_TRUE(image.save(QString::fromStdString(templates.File(name)), "JPG"));
  }

  test::TempFolder templates;
};

TEST_F(Gallery, ListsTheTemplatesWithTheirPicturesAndShowsOneOnItsName) {
  test::WriteWholeFile(templates.File("plain.htm"), "<p>Plain</p>");
  // A template's script does not run when the template is shown.
  test::WriteWholeFile(templates.File("Spring & Summer.html"),
                       "<p id=\"spring\">Spring</p><script>document.title = 'ran';</script>");
  Picture("Spring & Summer.jpg");
  Picture("nopreviewfile.jpg");

  frmExternalTemplates window(templates.Path());
  QSignalSpy loaded(window.Browser(), &QWebEngineView::loadFinished);
  window.show();
  EXPECT_EQ(window.windowTitle().toStdString(), "Templates");
  ASSERT_TRUE(QTest::qWaitFor([&] { return !loaded.isEmpty(); }, 20000));
  EXPECT_TRUE(loaded.first().first().toBool());

  QWebEngineView* view = window.Browser();
  EXPECT_EQ(Evaluate(view, "Array.from(document.querySelectorAll('.t a')).map(a => a.textContent).join('|')").toString(),
            "plain.htm|Spring & Summer.html");
  // Both pictures load from the folder (the own one and the no-preview one).
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        return Evaluate(view, "Array.from(document.images).filter(i => i.complete && i.naturalWidth == 30).length")
                   .toInt() == 2;
      },
      10000));

  auto* back = window.findChild<QPushButton*>("cmdBack");
  EXPECT_FALSE(back->isEnabled());
  loaded.clear();
  Evaluate(view, "document.querySelectorAll('.t a')[1].click(); true");
  ASSERT_TRUE(QTest::qWaitFor([&] { return !loaded.isEmpty(); }, 20000));
  EXPECT_EQ(Evaluate(view, "document.getElementById('spring') ? 'shown' : 'not shown'").toString(), "shown");
  EXPECT_NE(Evaluate(view, "document.title").toString(), "ran");
  EXPECT_TRUE(back->isEnabled());

  loaded.clear();
  QTest::mouseClick(back, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !loaded.isEmpty(); }, 20000));
  EXPECT_EQ(Evaluate(view, "document.querySelectorAll('.t').length").toInt(), 2);
  EXPECT_FALSE(back->isEnabled());
}

TEST(GalleryLinks, OnlyTheGalleryAndTheFilesOfTheTemplatesFolderAreShown) {
  struct Case {
    const char* url;
    bool shown;
  };
  const Case cases[] = {
      {"data:text/html;charset=UTF-8,%3Chtml%3E", true},
      {"file:///opt/ar/templates/", true},
      {"file:///opt/ar/templates/Spring%20%26%20Summer.html", true},
      {"file:///opt/ar/templates/Spring.jpg", true},
      {"file:///opt/ar/templates/../autoresponder.sto", false},
      {"file:///opt/ar/templates/sub/page.html", false},
      {"file:///etc/passwd", false},
      {"http://127.0.0.1:9/", false},
      {"https://example.com/templates/", false},
      {"mailto:ann@example.com", false},
  };
  for (const Case& c : cases) EXPECT_EQ(GalleryMayShow(QUrl(c.url), "/opt/ar/templates"), c.shown) << c.url;
}

TEST_F(Gallery, OpensFromTheTemplateWindowWhichReloadsAfterwards) {
  test::WriteWholeFile(templates.File("a.htm"), "a");
  frmTemplates list(db.Config(), templates.Path(), false);
  list.show();
  test::WhenModalOpens<frmExternalTemplates>([&](frmExternalTemplates* gallery) {
    test::WriteWholeFile(templates.File("b.htm"), "b");
    QTest::mouseClick(gallery->findChild<QPushButton*>("cmdClose"), Qt::LeftButton);
  });
  QTest::mouseClick(list.findChild<QPushButton*>("cmdExternalTemplates"), Qt::LeftButton);
  EXPECT_EQ(list.findChild<QListWidget*>("lbTemplates")->count(), 2);
}

}  // namespace
}  // namespace ar

