#include "widgets/web/WebEngineSetUp.h"

#include "widgets/web/LocalDocuments.h"

#include <QCoreApplication>
#include <QWebEngineUrlScheme>
#include <cstdlib>
#include <unistd.h>

namespace ar {

void PrepareWebEngine() {
  static bool prepared = false;
  if (prepared) return;
  prepared = true;
  // Set by the operator, the variable is left as it is.
  if (::geteuid() == 0) ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  if (!QCoreApplication::instance()) QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QWebEngineUrlScheme scheme(LocalDocuments::kScheme);
  scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
  // Pages of this scheme may show local image files (file: addresses) although they are
  // not local content themselves, which may reach no other local file.
  scheme.setFlags(QWebEngineUrlScheme::LocalAccessAllowed);
  QWebEngineUrlScheme::registerScheme(scheme);
}

}  // namespace ar
