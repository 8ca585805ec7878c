#include "gui/dialogs/comm_setup_form.hpp"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>
#include <limits>

#include "gui/dialogs/form_parts.hpp"
#include "gui/dialogs/message_box.hpp"
#include "link/port_names.hpp"

namespace brisko::gui {
namespace {

// An entry that is not a number reads as out of range, so it gets the range
// message like any other bad value.
double ReadCrystal(const QString& text) {
  bool ok = false;
  const double value = QLocale::c().toDouble(text.trimmed(), &ok);
  return ok ? value : std::numeric_limits<double>::quiet_NaN();
}

unsigned ReadRate(const QString& text) {
  bool ok = false;
  const qulonglong value = text.trimmed().toULongLong(&ok);
  if (!ok) return 0;
  return value > std::numeric_limits<unsigned>::max() ? std::numeric_limits<unsigned>::max()
                                                       : static_cast<unsigned>(value);
}

QString DefaultDeviceText(int portNumber) {
  return QString("/dev/ttyS%1 (default)").arg(portNumber - 1);
}

}  // namespace

CommSetupForm::CommSetupForm(QWidget* parent, CommSetupDialog& dialog, std::vector<std::string> adapters,
                             std::string portMapPath)
    : QDialog(parent),
      dialog_(dialog),
      portMapPath_(std::move(portMapPath)),
      portMap_(ReadPortMap(portMapPath_)),
      port_(ListCombo(dialog.PortEntries(), dialog.selectedPort)),
      device_(new QComboBox),
      rate_(ListCombo(dialog.RateEntries(), dialog.selectedRate)),
      crystal_(new QLineEdit),
      recommended_(new QLineEdit),
      compute_(new QPushButton("&Compute")),
      nextBaud_(new QPushButton("&Next Baud")),
      detect_(new QPushButton("&Detect MCU")) {
  setWindowTitle(CommSetupDialog::kTitle);

  device_->setEditable(true);
  device_->setInsertPolicy(QComboBox::NoInsert);
  device_->setMinimumContentsLength(28);
  device_->addItem(QString());  // the default device, named by ShowDevice
  for (const std::string& adapter : adapters) device_->addItem(Text(adapter), Text(adapter));
  // The session's own choice, kept even where the port map could not take it.
  if (!dialog_.device.empty()) portMap_[dialog_.selectedPort + 1] = dialog_.device;
  ShowDevice();
  connect(port_, &QComboBox::currentIndexChanged, this, [this] {
    TakeDevice();
    ShowDevice();
  });

  auto* commBox = new QGroupBox("Communication Configuration");
  auto* commForm = new QFormLayout(commBox);
  commForm->addRow("Comm Port", port_);
  commForm->addRow("Device", device_);
  commForm->addRow("Baud Rate", rate_);

  auto* crystalRow = new QHBoxLayout;
  crystalRow->addWidget(crystal_, 1);
  crystalRow->addWidget(new QLabel("MHz"));
  auto* calcButtons = new QHBoxLayout;
  calcButtons->addWidget(compute_);
  calcButtons->addWidget(nextBaud_);
  auto* calcBox = new QGroupBox("Enter Crystal Frequency and Calculate Baud Rate");
  auto* calcForm = new QFormLayout(calcBox);
  calcForm->addRow("Ext. Crystal Frequency of Target MCU", crystalRow);
  calcForm->addRow("Baud Rate Recommend by PC", recommended_);
  calcForm->addRow(calcButtons);
  connect(compute_, &QPushButton::clicked, this, [this] { Calculate(&CommSetupDialog::Compute); });
  connect(nextBaud_, &QPushButton::clicked, this, [this] { Calculate(&CommSetupDialog::NextBaud); });

  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(detect_, QDialogButtonBox::AcceptRole);
  // "Compute" keeps Alt+C, so that the key presses one button.
  buttons->addButton("C&ancel", QDialogButtonBox::RejectRole)->setObjectName("cancel");
  compute_->setAutoDefault(false);
  nextBaud_->setAutoDefault(false);
  detect_->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(commBox);
  layout->addWidget(calcBox);
  layout->addWidget(buttons);
  crystal_->setText(QString::number(dialog_.crystalMHz, 'g', 15));
  ShowFields();
}

void CommSetupForm::ShowMessages() {
  for (const std::string& message : dialog_.TakeMessages()) ShowMessage(this, Text(message));
}

void CommSetupForm::ReadControls() {
  dialog_.selectedPort = port_->currentIndex();
  dialog_.selectedRate = rate_->currentIndex();
  dialog_.crystalMHz = ReadCrystal(crystal_->text());
  dialog_.recommendedBaud = ReadRate(recommended_->text());
}

// The crystal field keeps what the operator typed; only the calculator's
// results and the rate list's selection change.
void CommSetupForm::ShowFields() {
  recommended_->setText(QString::number(dialog_.recommendedBaud));
  if (dialog_.selectedRate >= 0 && dialog_.selectedRate < rate_->count()) rate_->setCurrentIndex(dialog_.selectedRate);
}

void CommSetupForm::FocusField(CommSetupDialog::Field field) {
  QLineEdit* edit = field == CommSetupDialog::Field::Crystal           ? crystal_
                    : field == CommSetupDialog::Field::RecommendedBaud ? recommended_
                                                                       : nullptr;
  if (!edit) return;
  edit->setFocus();
  edit->selectAll();
}

// Compute and Next Baud go on with the values as typed; a value out of range
// has been reported and its field gets the focus.
void CommSetupForm::Calculate(void (CommSetupDialog::*step)()) {
  ReadControls();
  const CommSetupDialog::Field bad = dialog_.BadField();
  (dialog_.*step)();
  ShowMessages();
  ShowFields();
  FocusField(bad);
}

void CommSetupForm::accept() {
  TakeDevice();
  ReadControls();
  const auto mapped = portMap_.find(dialog_.selectedPort + 1);
  dialog_.device = mapped == portMap_.end() ? std::string() : mapped->second;
  const CommSetupDialog::Outcome outcome = dialog_.Confirm();
  ShowMessages();
  switch (outcome) {
    case CommSetupDialog::Outcome::Confirmed:
      SaveChangedMappings();
      QDialog::accept();
      return;
    case CommSetupDialog::Outcome::Cancelled:
      QDialog::reject();
      return;
    case CommSetupDialog::Outcome::KeepOpen:
      const CommSetupDialog::Field bad = dialog_.BadField();
      ShowFields();
      FocusField(bad);
      return;
  }
}

void CommSetupForm::ShowDevice() {
  shownPort_ = port_->currentIndex() + 1;
  device_->setItemText(0, DefaultDeviceText(shownPort_));
  const auto mapped = portMap_.find(shownPort_);
  if (mapped == portMap_.end()) {
    device_->setCurrentIndex(0);
    device_->setEditText(device_->itemText(0));
    return;
  }
  const QString device = Text(mapped->second);
  int index = device_->findData(device);
  if (index < 0) {
    // Mapped to a device that is not plugged in now: still shown as mapped.
    device_->addItem(device, device);
    index = device_->count() - 1;
  }
  device_->setCurrentIndex(index);
  device_->setEditText(device);
}

void CommSetupForm::TakeDevice() {
  if (shownPort_ < 1) return;
  const QString text = device_->currentText().trimmed();
  const std::string chosen = text.isEmpty() || text == DefaultDeviceText(shownPort_) ? std::string() : Std(text);
  const auto mapped = portMap_.find(shownPort_);
  const std::string current = mapped == portMap_.end() ? std::string() : mapped->second;
  if (chosen == current) return;
  if (chosen.empty())
    portMap_.erase(shownPort_);
  else
    portMap_[shownPort_] = chosen;
  changedMappings_[shownPort_] = chosen;
}

void CommSetupForm::SaveChangedMappings() {
  for (const auto& [number, device] : changedMappings_) {
    std::string whyNot;
    if (!SavePortMapping(portMapPath_, number, device, whyNot))
      ShowMessage(this, Text("Unable to save the port map\n" + whyNot));
  }
  changedMappings_.clear();
}

}  // namespace brisko::gui
