#include "shell/setup/comm_setup_dialog.hpp"

#include <algorithm>
#include <string>

#include "shell/setup/baud_calculator.hpp"
#include "shell/session/session.hpp"
#include "shell/setup/settings_file.hpp"

namespace brisko {
namespace {

constexpr int kPortCount = 256;
constexpr double kMinCrystalMHz = 1.0;
constexpr double kMaxCrystalMHz = 40.0;

constexpr const char* kCrystalRangeMessage = "Please enter a number between 1.0 and 40.0.";
constexpr const char* kRateRangeMessage = "Please enter an integer between 600 and 38400.";
constexpr const char* kRateTooHigh =
    "You can't choose a baudrate which is higher than the computed best baudrate!\n";
constexpr const char* kCannotSave = "Unable to save the configuration";

int ClampPortEntry(int entry) { return std::clamp(entry, 0, kPortCount - 1); }

}  // namespace

CommSetupDialog::CommSetupDialog(Session& session) : session_(session) {
  for (int n = 1; n <= kPortCount; ++n) portEntries_.push_back("COM" + std::to_string(n));
  for (unsigned rate : kRateTable) rateEntries_.push_back(std::to_string(rate));
  if (const SessionRecord* record = session_.Record()) {
    selectedPort = ClampPortEntry(record->Port().GetPortNumber() - 1);
    device = record->Port().DevicePath();
    // A settings file whose crystal did not parse leaves 0; the default
    // stands in for it.
    if (record->GetCrystal() != 0.0) crystalMHz = record->GetCrystal();
  }
  selectedRate = RateIndex(recommendedBaud);
  confirmedCrystal_ = crystalMHz;
}

CommSetupDialog::Field CommSetupDialog::BadField() const {
  // Written so that a crystal that is not a number fails too.
  if (!(crystalMHz >= kMinCrystalMHz && crystalMHz <= kMaxCrystalMHz)) return Field::Crystal;
  if (recommendedBaud < kRateTable.back() || recommendedBaud > kRateTable.front()) return Field::RecommendedBaud;
  return Field::None;
}

std::string CommSetupDialog::CheckFields() const {
  switch (BadField()) {
    case Field::Crystal: return kCrystalRangeMessage;
    case Field::RecommendedBaud: return kRateRangeMessage;
    case Field::None: break;
  }
  return "";
}

// Reading the edit fields: a value out of range is reported, yet the
// calculator still works with it. The crystal read here is what OK stores.
void CommSetupDialog::ReadFields() {
  if (const std::string message = CheckFields(); !message.empty()) messages_.push_back(message);
  confirmedCrystal_ = crystalMHz;
}

std::string CommSetupDialog::PortMapFile() const { return session_.Places().PortMapFile(); }

void CommSetupDialog::ShowRecommendation(unsigned bitRate, std::uint32_t reload) {
  recommendedBaud = bitRate;
  reloadValue = reload;
  selectedRate = RateIndex(recommendedBaud);
}

void CommSetupDialog::Compute() {
  ReadFields();
  const BaudRecommendation best = ComputeBaud(crystalMHz);
  ShowRecommendation(best.bitRate, best.reload);
}

void CommSetupDialog::NextBaud() {
  ReadFields();
  if (const std::optional<BaudRecommendation> next = brisko::NextBaud(crystalMHz, recommendedBaud))
    ShowRecommendation(next->bitRate, next->reload);
}

CommSetupDialog::Outcome CommSetupDialog::Confirm() {
  SessionRecord* record = session_.Record();
  if (!record) return Outcome::Confirmed;
  SerialPort& port = record->Port();
  if (port.IsLinkUp()) {
    messages_.push_back(kChipAlreadyDetectedText);
    return Outcome::Cancelled;
  }

  const int portNumber = ClampPortEntry(selectedPort) + 1;
  const bool validRate = selectedRate >= 0 && selectedRate < static_cast<int>(kRateTable.size());
  const unsigned rate = validRate ? kRateTable[static_cast<std::size_t>(selectedRate)] : kRateTable.front();

  // The command line saves what a detection proved, later and only when asked.
  const bool save = session_.Places().setupWritesSettings;
  record->SetCrystal(confirmedCrystal_);
  if (save && !SaveRegistryValue(session_.Places(), "COMMPORT", std::to_string(portNumber)))
    messages_.push_back(kCannotSave);
  port.SetPortNumber(portNumber);
  port.SetDevicePath(device);
  port.SetBaudRate(rate);
  session_.UpdatePortPane();
  session_.UpdateBaudPane();

  if (rate > recommendedBaud) {
    // The port number, the refused rate and COMMPORT stay as set; the
    // settings file and BAUDRATE wait for an accepted rate.
    messages_.push_back(kRateTooHigh);
    selectedRate = RateIndex(recommendedBaud);
    return Outcome::KeepOpen;
  }

  if (save) {
    WriteSettingsFile(session_.Places().SettingsFile(), FormatSettings(portNumber, rate, record->GetCrystal()));
    if (!SaveRegistryValue(session_.Places(), "BAUDRATE", std::to_string(rate))) messages_.push_back(kCannotSave);
  }

  if (const std::string message = CheckFields(); !message.empty()) {
    messages_.push_back(message);
    return Outcome::KeepOpen;
  }
  return Outcome::Confirmed;
}

}  // namespace brisko
