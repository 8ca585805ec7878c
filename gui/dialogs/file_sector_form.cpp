#include "gui/dialogs/file_sector_form.hpp"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/dialogs/form_parts.hpp"

namespace brisko::gui {

FileSectorForm::FileSectorForm(QWidget* parent, FileSectorDialog& dialog)
    : QDialog(parent),
      dialog_(dialog),
      start_(ListCombo(Labels(dialog.entries), dialog.chosen)),
      file_(new QLineEdit(Text(dialog.fileName))),
      browse_(new QPushButton("...")) {
  setWindowTitle(Text(dialog.title));
  file_->setMinimumWidth(320);
  browse_->setAutoDefault(false);  // Enter presses OK, also when browsing was the last click
  // Browsing keeps the chosen sector: a download must go where the operator
  // pointed, not back to the first sector because a file was picked.
  connect(browse_, &QPushButton::clicked, this, [this] { BrowseForFile(this, file_, BrowseMode::Open); });

  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(file_, 1);
  fileRow->addWidget(browse_);
  auto* form = new QFormLayout;
  form->addRow("Starting Sector", start_);
  form->addRow("File Name", fileRow);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(OkCancelButtons(this));
}

void FileSectorForm::accept() {
  dialog_.chosen = start_->currentIndex();
  dialog_.fileName = Std(file_->text());
  QDialog::accept();
}

}  // namespace brisko::gui
