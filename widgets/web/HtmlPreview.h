#pragma once
// The read-only pane that shows the message as subscribers will see it: a document given
// as text or a file, with its scripts off and no way to navigate elsewhere.
#include <QWidget>

#include <string>

class QWebEngineView;

namespace ar {

class ContentPage;

class HtmlPreview : public QWidget {
  Q_OBJECT
 public:
  explicit HtmlPreview(QWidget* parent = nullptr);

  // Shows the document and waits until it is loaded; false when it could not be shown.
  bool ShowDocument(const std::string& html);
  // Shows the file's text (UTF-8, or Windows-1252 when it is not valid UTF-8); a missing
  // or unreadable file shows an empty page and gives false.
  bool ShowFile(const std::string& path);

  // The text last shown.
  const std::string& Shown() const { return shown_; }
  QWebEngineView* View() const { return view_; }

 private:
  QWebEngineView* view_;
  ContentPage* page_;
  std::string shown_;
};

}  // namespace ar
