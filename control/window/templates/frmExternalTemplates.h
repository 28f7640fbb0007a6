#pragma once
// The template gallery: a browser window over a page of the program's own that shows
// every template of the templates folder with its preview picture; a template's name
// opens the template itself, and Back returns to the gallery.
#include <QDialog>
#include <QString>

#include <string>

class QUrl;
class QWebEngineView;

namespace ar {

// The gallery page of the templates folder, to be shown with the folder as its base
// address (so that the pictures and templates load from there).
QString TemplateGalleryHtml(const std::string& templatesFolder);

// Whether the gallery goes where a link leads: only to the gallery page itself and the
// files of the templates folder. A template is shown, never followed to the web or to
// other local files.
bool GalleryMayShow(const QUrl& url, const std::string& templatesFolder);

class frmExternalTemplates : public QDialog {
  Q_OBJECT
 public:
  explicit frmExternalTemplates(std::string templatesFolder, QWidget* parent = nullptr);

  QWebEngineView* Browser() const { return webBrowser_; }

 private:
  void ShowGallery();

  const std::string folder_;
  QWebEngineView* webBrowser_;
};

}  // namespace ar
