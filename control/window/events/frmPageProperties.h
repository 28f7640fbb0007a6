#pragma once
// The page-properties window over the event editor's head and page properties: the
// background colour, the background image and the three hyperlink colours of the body
// tag, each colour used only while its box is checked; its HEAD button opens the HEAD
// editor. Save writes the colours and the image back; Cancel writes nothing, except a
// head the HEAD editor has saved already.
#include "control/events/PageProperties.h"

#include <QDialog>

#include <array>
#include <string>

class QCheckBox;
class QFrame;
class QLineEdit;

namespace ar {

class frmPageProperties : public QDialog {
  Q_OBJECT
 public:
  frmPageProperties(PageProperties& properties, QWidget* parent = nullptr);

  // Whether anything was written back: the page properties by Save, or the head by the
  // HEAD editor.
  bool Saved() const { return saved_ || headSaved_; }

 private:
  struct Colour {
    std::string PageProperties::*field;
    QFrame* swatch = nullptr;
    QCheckBox* use = nullptr;
    // Filled from the stored value or changed by the operator: only then is it saved,
    // so that what an interrupted filling never showed is kept as it was.
    bool shown = false;
  };

  // Fills the fields from the properties in order; a value that cannot be shown stops
  // the filling there, with a trace line.
  void Fill();
  void ChooseColour(Colour& colour);
  void BrowseBackground();
  void EditHead();
  void Save();

  PageProperties& properties_;
  std::array<Colour, 4> colours_;
  QLineEdit* txtBackgroundImageURL_;
  bool backgroundShown_ = false;
  bool saved_ = false;
  bool headSaved_ = false;
};

}  // namespace ar
