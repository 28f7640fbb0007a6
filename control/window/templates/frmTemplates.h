#pragma once
// The template window: the HTML templates of the program folder with a preview picture
// of each, the default template new events start from, import and the gallery. Opened
// from the event editor it also selects a template into the event.
#include <QDialog>

#include <optional>
#include <string>

class QLabel;
class QListWidget;

namespace ar {

class Connection;

class frmTemplates : public QDialog {
  Q_OBJECT
 public:
  // selecting: opened from the event editor, with the select button shown.
  frmTemplates(Connection& main, std::string templatesFolder, bool selecting, QWidget* parent = nullptr);

  // The chosen template's text (line by line, CR LF after each line), once Select has
  // chosen one; nothing otherwise.
  const std::optional<std::string>& ChosenText() const { return chosen_; }

 private:
  void LoadList();
  void ShowPreview();
  void Select();
  void SetAsDefault();
  void ClearDefault();
  void Import();
  void ExternalTemplates();
  // The selected template's file name, or "" when none is selected.
  std::string SelectedName() const;
  // Runs a button's work; an error is shown and the window stays.
  void Guarded(void (frmTemplates::*work)());

  Connection& main_;
  const std::string folder_;
  const bool selecting_;
  QListWidget* lbTemplates_;
  QLabel* imgPreview_;
  QLabel* lblDefaultTemplate_;
  std::optional<std::string> chosen_;
};

}  // namespace ar
