#include "gui/dialogs/save_form.hpp"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "gui/dialogs/form_parts.hpp"

namespace brisko::gui {

SaveForm::SaveForm(QWidget* parent, SaveDialog& dialog)
    : QDialog(parent),
      dialog_(dialog),
      start_(ListCombo(Labels(dialog.starts), dialog.start)),
      range_(ListCombo(dialog.ranges, dialog.range)),
      file_(new QLineEdit(Text(dialog.path))),
      browse_(new QPushButton("...")),
      binary_(new QRadioButton("Binary File")),
      text_(new QRadioButton("Text File")) {
  setWindowTitle(kTitle);
  file_->setMinimumWidth(320);
  browse_->setAutoDefault(false);
  connect(browse_, &QPushButton::clicked, this, [this] { BrowseForFile(this, file_, BrowseMode::Save); });

  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(file_, 1);
  fileRow->addWidget(browse_);
  auto* modeRow = new QHBoxLayout;
  modeRow->addWidget(binary_);
  modeRow->addWidget(text_);
  modeRow->addStretch();

  auto* form = new QFormLayout;
  form->addRow("Starting Sector", start_);
  form->addRow("Range", range_);
  form->addRow("File Name", fileRow);
  form->addRow(modeRow);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(OkCancelButtons(this));
}

void SaveForm::accept() {
  dialog_.start = start_->currentIndex();
  dialog_.range = range_->currentIndex();
  dialog_.path = Std(file_->text());
  if (binary_->isChecked()) dialog_.textMode = false;
  else if (text_->isChecked()) dialog_.textMode = true;
  QDialog::accept();
}

}  // namespace brisko::gui
