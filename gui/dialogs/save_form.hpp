#pragma once
#include <QDialog>

#include "shell/session/operator.hpp"

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace brisko::gui {

// "Save Flash Contents into a Disk File". Neither file-mode radio is checked
// when it opens; the file is text unless "Binary File" is chosen.
class SaveForm final : public QDialog {
  Q_OBJECT
 public:
  static constexpr const char* kTitle = "Save Flash Contents into a Disk File";
  SaveForm(QWidget* parent, SaveDialog& dialog);

  QComboBox* StartCombo() const { return start_; }
  QComboBox* RangeCombo() const { return range_; }
  QLineEdit* FileField() const { return file_; }
  QPushButton* BrowseButton() const { return browse_; }
  QRadioButton* BinaryRadio() const { return binary_; }
  QRadioButton* TextRadio() const { return text_; }

  void accept() override;

 private:
  SaveDialog& dialog_;
  QComboBox* start_;
  QComboBox* range_;
  QLineEdit* file_;
  QPushButton* browse_;
  QRadioButton* binary_;
  QRadioButton* text_;
};

}  // namespace brisko::gui
