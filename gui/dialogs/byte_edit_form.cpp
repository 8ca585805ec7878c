#include "gui/dialogs/byte_edit_form.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/dialogs/form_parts.hpp"
#include "gui/dialogs/listing_printer.hpp"

namespace brisko::gui {
namespace {

QLineEdit* LimitedField(const std::string& text, int limit) {
  auto* field = new QLineEdit;
  field->setMaxLength(limit);
  field->setText(Text(text).left(limit));
  field->setFont(ListingFont());
  return field;
}

}  // namespace

ByteEditForm::ByteEditForm(QWidget* parent, ByteEditDialog& dialog)
    : QDialog(parent),
      dialog_(dialog),
      address_(LimitedField(dialog.addressText, kAddressLimit)),
      display_(LimitedField(dialog.displayText, kDataLimit)),
      newData_(LimitedField(dialog.newDataText, kDataLimit)),
      displayButton_(new QPushButton("&Display Data")),
      replaceButton_(new QPushButton("&Replace Data")),
      // Alt+R presses "Replace Data"; Alt+T returns.
      returnButton_(new QPushButton("Re&turn to Main Menu")) {
  setWindowTitle(Text(dialog.title));
  // The command writes the display; the operator reads it.
  display_->setReadOnly(true);
  display_->setMinimumWidth(display_->fontMetrics().horizontalAdvance(QString(kDataLimit + 2, 'W')));

  displayButton_->setAutoDefault(false);
  replaceButton_->setAutoDefault(false);
  returnButton_->setDefault(true);
  connect(displayButton_, &QPushButton::clicked, this, [this] { Press(ByteEditButton::DisplayData); });
  connect(replaceButton_, &QPushButton::clicked, this, [this] { Press(ByteEditButton::ReplaceData); });
  connect(returnButton_, &QPushButton::clicked, this, [this] { Press(ByteEditButton::ReturnToMainMenu); });

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("Enter Memory Location in Hex (4-digit Only, e.g. 03E6)"));
  layout->addWidget(address_);
  layout->addWidget(new QLabel("Display Hex data (up to 16 bytes) at above address"));
  layout->addWidget(display_);
  layout->addWidget(displayButton_);
  layout->addWidget(new QLabel(
      "Enter new data in Hex (up to 16 bytes)\nEach byte includes a 2-digit number + a blank space\ne.g. 72 4F 5D 00 "));
  layout->addWidget(newData_);
  layout->addWidget(replaceButton_);
  auto* note = new QLabel("After returning to Main Menu, please Read the sector(s) in which data was altered.");
  note->setWordWrap(true);
  layout->addWidget(note);
  layout->addWidget(returnButton_);
}

void ByteEditForm::Press(ByteEditButton button) {
  pressed_ = button;
  dialog_.addressText = Std(address_->text());
  dialog_.newDataText = Std(newData_->text());
  accept();
}

}  // namespace brisko::gui
