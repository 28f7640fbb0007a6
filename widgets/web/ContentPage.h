#pragma once
// A web page for content the operator did not write as a program: templates, imported
// pages, files of their own. Its scripts never run and it reaches no local file beyond the
// images it shows; it goes nowhere but to the documents the program gives it and their
// bookmarks (a link elsewhere, a form or a refresh tag in the content does not navigate). The program's own scripts run
// in a world of their own.
#include <QWebEnginePage>

#include <optional>

namespace ar {

class ContentPage : public QWebEnginePage {
  Q_OBJECT
 public:
  explicit ContentPage(QObject* parent = nullptr);
  ~ContentPage() override;

  // Shows the document and waits until it is loaded; false when the load failed or took
  // longer than the bound.
  bool ShowDocument(const QByteArray& html);

  // Runs one of the program's scripts and waits for its result; nothing when the engine
  // did not answer within the bound.
  std::optional<QVariant> Run(const QString& script);

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

 private:
  QUrl shown_;
};

// The text as a script literal ("..." with every character that needs it escaped).
QString ScriptString(const QString& text);

}  // namespace ar
