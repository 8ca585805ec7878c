#include "gui/dialogs/dialogs.hpp"

#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include "gui/dialogs/byte_edit_form.hpp"
#include "gui/dialogs/chip_selection_form.hpp"
#include "gui/dialogs/comm_setup_form.hpp"
#include "gui/dialogs/file_sector_form.hpp"
#include "gui/dialogs/listing_printer.hpp"
#include "gui/dialogs/menu_forms.hpp"
#include "gui/dialogs/message_box.hpp"
#include "gui/dialogs/range_form.hpp"
#include "gui/dialogs/save_form.hpp"
#include "link/port_list.hpp"
#include "link/port_names.hpp"
#include "shell/setup/comm_setup_dialog.hpp"
#include "shell/session/operator.hpp"

namespace brisko::gui {

bool ShowChipSelectionDialog(QWidget* parent, ChipSelection& selection) {
  ChipSelectionForm form(parent, selection);
  return form.exec() == QDialog::Accepted;
}

bool ShowCommSetupDialog(QWidget* parent, CommSetupDialog& dialog) {
  // The same list as `brisko-cli ports`: real adapters (by their stable
  // name where they have one) and whatever the port map names.
  std::vector<std::string> adapters;
  for (const SerialPortEntry& port : ListSerialPorts(ReadPortMap(dialog.PortMapFile())))
    adapters.push_back(port.byId.empty() ? port.device : port.byId);
  CommSetupForm form(parent, dialog, std::move(adapters), dialog.PortMapFile());
  return form.exec() == QDialog::Accepted;
}

bool ShowFileSectorDialog(QWidget* parent, FileSectorDialog& dialog) {
  FileSectorForm form(parent, dialog);
  return form.exec() == QDialog::Accepted;
}

bool ShowRangeDialog(QWidget* parent, RangeDialog& dialog) {
  RangeForm form(parent, dialog);
  return form.exec() == QDialog::Accepted;
}

bool ShowSaveDialog(QWidget* parent, SaveDialog& dialog) {
  SaveForm form(parent, dialog);
  return form.exec() == QDialog::Accepted;
}

bool ShowLockDialog(QWidget* parent, LockMenu& menu) {
  LockMenuForm form(parent, menu);
  return form.exec() == QDialog::Accepted;
}

bool ShowRemapDialog(QWidget* parent, RemapMenu& menu) {
  RemapMenuForm form(parent, menu);
  return form.exec() == QDialog::Accepted;
}

ByteEditButton ShowByteEditDialog(QWidget* parent, ByteEditDialog& dialog) {
  ByteEditForm form(parent, dialog);
  form.exec();
  return form.Pressed();
}

namespace {

constexpr const char* kNoPrinter = "No printer is set up on this computer.";

// Without a printer the listing can still go into a PDF file, if the
// operator wants that and names one. True when written or not wanted after
// all (the file dialog cancelled); false when declined or failed.
bool PrintIntoPdf(QWidget* parent, const std::string& title, const std::string& listing, std::string& whyNot) {
  whyNot = kNoPrinter;
  if (!AskYesNo(parent, QString::fromUtf8(kNoPrinter) + QStringLiteral("\nPrint into a PDF file instead?")))
    return false;
  QFileDialog chooser(parent, QStringLiteral("Print into a PDF file"));
  chooser.setObjectName(QStringLiteral("pdfFile"));
  chooser.setAcceptMode(QFileDialog::AcceptSave);
  chooser.setNameFilter(QStringLiteral("PDF files (*.pdf)"));
  chooser.setDefaultSuffix(QStringLiteral("pdf"));
  chooser.selectFile(QStringLiteral("listing.pdf"));
  whyNot.clear();
  if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return true;
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(chooser.selectedFiles().constFirst());
  return PrintListingTo(printer, title, listing, whyNot);
}

}  // namespace

bool PrintListing(QWidget* parent, const std::string& title, const std::string& listing, std::string& whyNot) {
  if (QPrinterInfo::availablePrinters().isEmpty()) return PrintIntoPdf(parent, title, listing, whyNot);
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, parent);
  // All pages, as many copies as the printer is set for; no page numbers,
  // selection or printing to a file.
  dialog.setOptions(QAbstractPrintDialog::PrintShowPageSize);
  dialog.setPrintRange(QAbstractPrintDialog::AllPages);
  if (dialog.exec() != QDialog::Accepted) return true;
  return PrintListingTo(printer, title, listing, whyNot);
}

}  // namespace brisko::gui
