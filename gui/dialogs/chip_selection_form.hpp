#pragma once
#include <QDialog>

#include "shell/session/operator.hpp"

class QRadioButton;

namespace brisko::gui {

// "Select MCU Chip Type and Memory Mode". Each radio stores its model or mode
// in the selection as soon as it is clicked, so a model picked before Cancel
// stays picked.
class ChipSelectionForm final : public QDialog {
  Q_OBJECT
 public:
  ChipSelectionForm(QWidget* parent, ChipSelection& selection);

  static constexpr const char* kTitle = "Select MCU Chip Type and Memory Mode";
  QRadioButton* ModelRadio(int model) const;
  QRadioButton* ModeRadio(int mode) const;

 private:
  ChipSelection& selection_;
  QList<QRadioButton*> modelRadios_;
  QList<QRadioButton*> modeRadios_;
};

}  // namespace brisko::gui
