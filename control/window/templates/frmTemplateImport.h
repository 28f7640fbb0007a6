#pragma once
// The template import window: an HTML file, typed or browsed, copied into the templates
// folder under its own name. It asks before replacing a template of that name, and a
// copy that fails is reported with the window still open.
#include <QDialog>

#include <string>

class QLineEdit;

namespace ar {

class frmTemplateImport : public QDialog {
  Q_OBJECT
 public:
  explicit frmTemplateImport(std::string templatesFolder, QWidget* parent = nullptr);

 private:
  void Browse();
  void Import();

  const std::string folder_;
  QLineEdit* txtFileName_;
};

}  // namespace ar
