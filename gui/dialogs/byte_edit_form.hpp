#pragma once
#include <QDialog>

#include "shell/session/operator.hpp"

class QLineEdit;
class QPushButton;

namespace brisko::gui {

// "Byte Edit in Block 0". Each button closes the form with the operator's
// texts in the dialog data; the command does the button's work on its own
// thread and shows the form again with the results. Closing the window is
// "Return to Main Menu".
class ByteEditForm final : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kAddressLimit = 4;
  static constexpr int kDataLimit = 48;

  ByteEditForm(QWidget* parent, ByteEditDialog& dialog);
  ByteEditButton Pressed() const { return pressed_; }

  QLineEdit* AddressField() const { return address_; }
  QLineEdit* DisplayField() const { return display_; }
  QLineEdit* NewDataField() const { return newData_; }
  QPushButton* DisplayButton() const { return displayButton_; }
  QPushButton* ReplaceButton() const { return replaceButton_; }
  QPushButton* ReturnButton() const { return returnButton_; }

 private:
  void Press(ByteEditButton button);

  ByteEditDialog& dialog_;
  ByteEditButton pressed_ = ByteEditButton::ReturnToMainMenu;
  QLineEdit* address_;
  QLineEdit* display_;
  QLineEdit* newData_;
  QPushButton* displayButton_;
  QPushButton* replaceButton_;
  QPushButton* returnButton_;
};

}  // namespace brisko::gui
