#pragma once
#include <QDialog>

#include "shell/session/operator.hpp"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace brisko::gui {

// The download and compare dialogs: "Starting Sector", "File Name" and "..."
// to browse for the file. OK takes the entry and the name into the data.
class FileSectorForm final : public QDialog {
  Q_OBJECT
 public:
  FileSectorForm(QWidget* parent, FileSectorDialog& dialog);

  QComboBox* StartCombo() const { return start_; }
  QLineEdit* FileField() const { return file_; }
  QPushButton* BrowseButton() const { return browse_; }

  void accept() override;

 private:
  FileSectorDialog& dialog_;
  QComboBox* start_;
  QLineEdit* file_;
  QPushButton* browse_;
};

}  // namespace brisko::gui
