#include "control/window/templates/frmExternalTemplates.h"

#include "control/events/Templates.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace ar {
namespace {

// A file of the folder as an address relative to the page's base, every special
// character escaped.
QString RelativeAddress(const std::string& name) {
  return QString::fromLatin1(QUrl::toPercentEncoding(QString::fromStdString(name)));
}

QString Escaped(const std::string& text) { return QString::fromStdString(text).toHtmlEscaped(); }

// The gallery's page: every navigation is asked first.
class GalleryPage : public QWebEnginePage {
 public:
  GalleryPage(std::string folder, QObject* parent) : QWebEnginePage(parent), folder_(std::move(folder)) {}

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override { return GalleryMayShow(url, folder_); }

 private:
  const std::string folder_;
};

}  // namespace

bool GalleryMayShow(const QUrl& url, const std::string& templatesFolder) {
  // The gallery page itself comes as text (a data: address); a template is a file of the folder.
  if (url.scheme() == "data") return true;
  if (!url.isLocalFile()) return false;
  const QString folder = QDir::cleanPath(QString::fromStdString(templatesFolder));
  const QString file = QDir::cleanPath(url.toLocalFile());
  return file == folder || QFileInfo(file).absolutePath() == folder;
}

QString TemplateGalleryHtml(const std::string& templatesFolder) {
  QString page =
      "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Templates</title><style>"
      "body{font-family:sans-serif;margin:16px;color:#222}"
      "h1{font-size:20px;margin:0 0 4px}p{margin:0 0 16px;color:#555}"
      ".t{display:inline-block;vertical-align:top;width:200px;margin:0 16px 16px 0;text-align:center}"
      ".t img{width:180px;height:230px;object-fit:contain;border:1px solid #bbb;background:#f4f4f4}"
      ".t a{display:block;margin-top:4px;word-wrap:break-word}"
      "</style></head><body><h1>Message templates</h1>"
      "<p>The templates of this installation. Click a name to see the template; to use one, select it in the "
      "Templates window. Templates you import there appear here too.</p>";
  const std::vector<std::string> names = ListTemplates(templatesFolder);
  if (names.empty()) page += "<p>There are no templates in " + Escaped(templatesFolder) + ".</p>";
  for (const std::string& name : names) {
    const std::string picture = PreviewPicturePath(templatesFolder, name);
    page += "<div class=\"t\">";
    if (!picture.empty())
      page += "<img alt=\"\" src=\"" + RelativeAddress(picture.substr(picture.find_last_of('/') + 1)) + "\">";
    page += "<a href=\"" + RelativeAddress(name) + "\">" + Escaped(name) + "</a></div>";
  }
  return page + "</body></html>";
}

frmExternalTemplates::frmExternalTemplates(std::string templatesFolder, QWidget* parent)
    : QDialog(parent), folder_(std::move(templatesFolder)) {
  setObjectName("frmExternalTemplates");
  setWindowTitle("Templates");
  setModal(true);

  webBrowser_ = new QWebEngineView(this);
  webBrowser_->setObjectName("webBrowser");
  // Templates are shown, not run: an imported file's scripts stay asleep.
  webBrowser_->setPage(new GalleryPage(folder_, webBrowser_));
  webBrowser_->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
  auto* back = new QPushButton("&Back", this);
  back->setObjectName("cmdBack");
  back->setAutoDefault(false);
  back->setEnabled(false);
  connect(back, &QPushButton::clicked, this, &frmExternalTemplates::ShowGallery);
  // Back is there once a template is shown (the gallery itself has the folder's address).
  connect(webBrowser_, &QWebEngineView::urlChanged, this,
          [back](const QUrl& url) { back->setEnabled(url.isLocalFile() && !url.fileName().isEmpty()); });
  auto* close = new QPushButton("&Close", this);
  close->setObjectName("cmdClose");
  close->setDefault(true);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(back);
  buttons->addStretch(1);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(webBrowser_, 1);
  layout->addLayout(buttons);
  resize(900, 640);
  ShowGallery();
}

void frmExternalTemplates::ShowGallery() {
  webBrowser_->setHtml(TemplateGalleryHtml(folder_), QUrl::fromLocalFile(QString::fromStdString(folder_ + "/")));
}

}  // namespace ar
