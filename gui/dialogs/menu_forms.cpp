#include "gui/dialogs/menu_forms.hpp"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include "gui/dialogs/form_parts.hpp"

namespace brisko::gui {
namespace {

// The group of radios and the OK/Cancel row; the radios are returned in order.
QList<QRadioButton*> BuildMenu(QDialog* dialog, const std::string& title, const std::string& group,
                               const std::vector<std::string>& labels) {
  dialog->setWindowTitle(Text(title));
  auto* box = new QGroupBox(Text(group));
  auto* boxLayout = new QVBoxLayout(box);
  QList<QRadioButton*> radios;
  for (const std::string& label : labels) {
    auto* radio = new QRadioButton(Text(label));
    boxLayout->addWidget(radio);
    radios.push_back(radio);
  }
  auto* layout = new QVBoxLayout(dialog);
  layout->addWidget(box);
  layout->addWidget(OkCancelButtons(dialog));
  return radios;
}

}  // namespace

LockMenuForm::LockMenuForm(QWidget* parent, LockMenu& menu)
    : QDialog(parent), menu_(menu), radios_(BuildMenu(this, menu.title, menu.group, menu.options)) {}

void LockMenuForm::accept() {
  menu_.lockOption = 0;
  for (qsizetype i = 0; i < radios_.size(); ++i)
    if (radios_[i]->isChecked()) menu_.lockOption = static_cast<int>(i) + 1;
  QDialog::accept();
}

RemapMenuForm::RemapMenuForm(QWidget* parent, RemapMenu& menu) : QDialog(parent), menu_(menu) {
  std::vector<std::string> labels;
  for (const RemapRadio& radio : menu.radios) labels.push_back(radio.label);
  radios_ = BuildMenu(this, menu.title, menu.group, labels);
  for (qsizetype i = 0; i < radios_.size(); ++i) radios_[i]->setEnabled(menu.radios[static_cast<std::size_t>(i)].enabled);
}

void RemapMenuForm::accept() {
  for (qsizetype i = 0; i < radios_.size(); ++i)
    if (radios_[i]->isChecked()) menu_.remapOption = menu_.radios[static_cast<std::size_t>(i)].value;
  QDialog::accept();
}

}  // namespace brisko::gui
