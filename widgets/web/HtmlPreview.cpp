#include "widgets/web/HtmlPreview.h"

#include "mail/Charset.h"
#include "widgets/web/ContentPage.h"
#include "widgets/web/WebEngineSetUp.h"

#include <QFile>
#include <QVBoxLayout>
#include <QWebEngineView>

namespace ar {
namespace {

// A body file of the processor's size limit at most.
constexpr qint64 kMaxPreviewBytes = 64 * 1024 * 1024;

}  // namespace

HtmlPreview::HtmlPreview(QWidget* parent) : QWidget(parent) {
  PrepareWebEngine();
  view_ = new QWebEngineView;
  view_->setObjectName("PreviewView");
  page_ = new ContentPage(view_);
  view_->setPage(page_);
  view_->setContextMenuPolicy(Qt::NoContextMenu);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
}

bool HtmlPreview::ShowDocument(const std::string& html) {
  shown_ = html;
  return page_->ShowDocument(QByteArray::fromStdString(html));
}

bool HtmlPreview::ShowFile(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxPreviewBytes) {
    ShowDocument("");
    return false;
  }
  const QByteArray bytes = file.readAll();
  return ShowDocument(TextFileBytesToUtf8(std::string_view(bytes.constData(), bytes.size())));
}

}  // namespace ar
