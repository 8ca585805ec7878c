#include "gui/dialogs/form_parts.hpp"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>

namespace brisko::gui {

QString Text(const std::string& text) { return QString::fromStdString(text); }
std::string Std(const QString& text) { return text.toStdString(); }

QComboBox* ListCombo(const std::vector<std::string>& entries, int selected) {
  auto* combo = new QComboBox;
  for (const std::string& entry : entries) combo->addItem(Text(entry));
  combo->setMaxVisibleItems(16);
  if (selected >= 0 && selected < combo->count()) combo->setCurrentIndex(selected);
  return combo;
}

QDialogButtonBox* OkCancelButtons(QDialog* dialog, const char* okText, const char* cancelText) {
  // Made inside the dialog at once: a button becomes the dialog's default
  // only when it already has the dialog above it; otherwise Enter would
  // press whichever button comes first after the focus.
  auto* buttons = new QDialogButtonBox(dialog);
  QPushButton* ok = buttons->addButton(okText, QDialogButtonBox::AcceptRole);
  ok->setDefault(true);
  ok->setObjectName("ok");
  buttons->addButton(cancelText, QDialogButtonBox::RejectRole)->setObjectName("cancel");
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

void BrowseForFile(QDialog* owner, QLineEdit* field, BrowseMode mode) {
  QFileDialog browser(owner);
  browser.setObjectName("fileBrowser");
  if (mode == BrowseMode::Save) {
    browser.setAcceptMode(QFileDialog::AcceptSave);
    browser.setFileMode(QFileDialog::AnyFile);
  } else {
    browser.setAcceptMode(QFileDialog::AcceptOpen);
    browser.setFileMode(QFileDialog::ExistingFile);
    browser.setNameFilters({"Intel HEX (*.hex *.ihx)", "Binary (*.bin)", "All files (*)"});
  }
  if (!field->text().isEmpty()) browser.selectFile(field->text());
  if (browser.exec() != QDialog::Accepted || browser.selectedFiles().isEmpty()) return;
  field->setText(browser.selectedFiles().constFirst());
}

}  // namespace brisko::gui
