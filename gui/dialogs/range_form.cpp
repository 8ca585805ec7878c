#include "gui/dialogs/range_form.hpp"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

#include "gui/dialogs/form_parts.hpp"

namespace brisko::gui {

RangeForm::RangeForm(QWidget* parent, RangeDialog& dialog)
    : QDialog(parent),
      dialog_(dialog),
      start_(ListCombo(Labels(dialog.starts), dialog.start)),
      range_(ListCombo(dialog.ranges, dialog.range)) {
  // The dialog has no caption of its own.
  setWindowTitle(" ");
  auto* form = new QFormLayout;
  form->addRow("Starting From:", start_);
  form->addRow("Range:", range_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(OkCancelButtons(this));
}

void RangeForm::accept() {
  dialog_.start = start_->currentIndex();
  dialog_.range = range_->currentIndex();
  QDialog::accept();
}

}  // namespace brisko::gui
