#include "shell/detection/detect_command.hpp"

#include "link/result_codes.hpp"
#include "shell/block0/recovery_offer.hpp"
#include "shell/setup/comm_setup_dialog.hpp"
#include "shell/block0/external_flash_return.hpp"
#include "shell/session/main_window.hpp"
#include "chip/handshake.hpp"
#include "chip/status_decoding.hpp"

namespace brisko {
namespace {

constexpr const char* kResetPrompt = "Click on OK then Reset MCU\nto Detect Baud & Chip\n(MCU:Fw v1.1F)";
constexpr const char* kDoubleClockQuestion =
    "Since the chip has been set to Double Clock, you can enter twice the original crystal frequency.\n "
    "(e.g. You entered 2MHz before setting double clock, now you can enter 4MHz.)\n\nDo you want to enter "
    "another crystal frequency?";

// H1: the operator resets the chip after OK; the port opens with the lines of
// the memory mode. The reason the port did not open goes to the status line.
bool OpenLink(MainWindow& window, SessionRecord& record) {
  window.Op().Tell(kResetPrompt);
  SerialPort& port = record.Port();
  if (port.Open() != Result::Ok) {
    window.Op().Tell("Failed to setup Serial Comm with Target MCU!!!");
    window.SetStatusText(port.LastOpenError());
    return false;
  }
  if (record.GetMemoryMode() == kExternalMemory)
    port.SetLinesForExternalMode();
  else
    port.SetLinesForInternalMode();
  return true;
}

// H2 to H5. Returns the status byte and the version answer, or none after
// telling the step's message.
struct LoaderAnswers {
  std::uint8_t status;
  std::array<std::uint8_t, 2> version;
};

std::optional<LoaderAnswers> Handshake(MainWindow& window, SessionRecord& record, bool& cancelled) {
  SerialPort& port = record.Port();
  Operator& op = window.Op();
  switch (SynchroniseBaud(port, port.Timing().syncLimit, &window.State().cancelRequested)) {
    case SyncOutcome::Locked: break;
    case SyncOutcome::TimedOut: op.Tell("Failed to setup RS232 connection with Target MCU!!!"); return std::nullopt;
    case SyncOutcome::SendFailed: op.Tell("Failed on sending baud_detect_string #1."); return std::nullopt;
    case SyncOutcome::Cancelled: cancelled = true; return std::nullopt;
  }
  switch (CheckReady(port)) {
    case ReadyOutcome::Ready: break;
    case ReadyOutcome::SendFailed: op.Tell("Failed on sending baud_detect_string #2."); return std::nullopt;
    case ReadyOutcome::NoByte0: op.Tell("Failed on receiving string RDY(0)."); return std::nullopt;
    case ReadyOutcome::NoByte1: op.Tell("Failed on receiving string RDY(1)."); return std::nullopt;
    case ReadyOutcome::BadOrNoByte2: op.Tell("Failed on receiving string RDY(2)."); return std::nullopt;
  }
  if (auto select = ModeSelectFor(record.GetChipModel(), record.GetMemoryMode())) {
    if (!port.WriteBytes(select->bytes.data(), select->bytes.size())) {
      op.Tell(select->sendFailure);
      return std::nullopt;
    }
  }
  LoaderAnswers answers{};
  if (!port.ReadByte(answers.status)) {
    op.Tell("No Response from Target Board after sending 05h,55h!!!");
    return std::nullopt;
  }
  const auto version = QueryVersion(port);
  if (!version) {
    op.Tell("No Response from Target Board after sending 60h!!!");
    return std::nullopt;
  }
  answers.version = *version;
  return answers;
}

// H6: what the chip said goes into the session and the window. False when
// the detection ends here with a message.
bool ApplyAnswers(MainWindow& window, SessionRecord& record, const LoaderAnswers& answers) {
  SessionState& state = window.State();
  const int model = record.GetChipModel();
  record.Port().SetLinkUp();
  record.AllocateImages();
  state.statusByte = answers.status;
  DecodeSecurityStatus(window, answers.status);

  ChipInfoTexts info = window.ChipInfo();
  const ChipFamily family = FamilyOf(model);
  if (family != ChipFamily::None) info.remap = RemapText(model, answers.status);
  if (family == ChipFamily::KT500) {
    state.doubleClockOn = DoubleClockBitOf(answers.status);
    window.UpdateDoubleClockPane();
  }
  state.savedRemapText = info.remap;
  const ChipDescription& chip = DescribeChip(model);
  info.chipType = chip.chipTypeText;
  info.flashSize = chip.flashSizeText;
  info.fwVersion = FirmwareVersionText(answers.version[0], answers.version[1]);
  window.SetChipInfo(info);
  if (info.fwVersion != kAcceptedFirmwareText) {
    window.Op().Tell("Wrong Firmware Version Detected in MCU chip!!!");
    return false;
  }
  window.SetStatusText("Detect target MCU is successful!");
  if (record.GetCurrentBlock() != 0 && record.GetCurrentBlock() != 1) {
    window.ReportIllegalBlock();
    return false;
  }
  state.securityBits = SecurityBitsOf(answers.status);
  info.memMode = MemoryModeText(record.GetMemoryMode());
  window.SetChipInfo(info);
  window.ApplyButtonChanges(ButtonsAfterDetection(record.GetMemoryMode(), model, state.securityBits));
  return true;
}

// A detection clears the external-flash view; in external memory mode the
// KT400 family's loader work area is put back at once.
void LeaveExternalFlashView(MainWindow& window, SessionRecord& record) {
  SessionState& state = window.State();
  if (!state.ExternalBankSelected()) return;
  state.userCodeStarted = false;
  if (record.GetMemoryMode() == kInternalMemory) {
    ReturnToMcuFlashAfterDetect(window);
    return;
  }
  state.externalLowBankSelected = false;
  state.externalHighBankSelected = false;
  RestoreBlock0Areas(window, 0);
}

void OfferDoubleClockCrystal(MainWindow& window, SessionRecord& record) {
  SessionState& state = window.State();
  state.userCodeStarted = false;
  if (!state.doubleClockOn || record.Port().GetBaudRate() >= 38400 || state.doubleClockAsked) return;
  if (!window.Op().Ask(kDoubleClockQuestion)) return;
  window.ResetTarget();
  state.doubleClockAsked = true;
  CommSetupDialog dialog(window);
  if (window.Op().CommSetup(dialog)) DetectTarget(window);
}

}  // namespace

void DecodeSecurityStatus(MainWindow& window, std::uint8_t status) {
  SessionState& state = window.State();
  state.securityBits = SecurityBitsOf(status);
  if (SessionRecord* record = window.Record()) {
    record->securityCopy = state.securityBits;
    if (auto security = SecurityStatusText(state.securityBits, record->GetChipModel())) {
      window.ShowSecurityText(security->text);
      if (security->level4) window.Op().Tell("PLEASE STOP AND EXIT THE WINDOW!!!");
    }
  }
}

CommandOutcome DetectTarget(MainWindow& window) {
  SessionRecord* record = window.Record();
  if (!record) {
    window.ReportNoChip();
    return CommandOutcome::Refused(Refusal::NoChip);
  }
  record->applyGeometry();
  if (!record->Port().IsLinkUp()) {
    if (!OpenLink(window, *record)) return CommandOutcome::Failed("open the port", Result::PortNotOpened);
    bool cancelled = false;
    const auto answers = Handshake(window, *record, cancelled);
    if (cancelled) return CommandOutcome::Cancelled("find the loader", "nothing on the chip was changed");
    if (!answers) return CommandOutcome::Failed("find the loader", Result::NoReply);
    if (!ApplyAnswers(window, *record, *answers)) return CommandOutcome::Failed("check the loader", Result::WrongReply);
    LeaveExternalFlashView(window, *record);
    OfferRecoveryFiles(window);
    OfferDoubleClockCrystal(window, *record);
  }
  if (!record->Port().IsLinkUp()) return CommandOutcome::Failed("detect again", Result::Failed);
  // The loader answers for any model: the model is the operator's choice.
  return CommandOutcome::Success("found the loader of the selected " + window.ChipInfo().chipType);
}

bool SelectChip(MainWindow& window) {
  SessionRecord& record = *window.Record();
  ChipSelection selection{record.GetChipModel(), record.GetMemoryMode()};
  const bool ok = window.Op().SelectChip(selection);
  // A radio stores its choice as soon as it is clicked, so a model picked
  // before Cancel stays.
  record.SetChipModel(selection.model);
  record.SetMemoryMode(selection.memoryMode);
  if (ok) record.applyGeometry();
  return ok;
}

CommandOutcome OnDetectMenu(MainWindow& window) {
  if (!window.Record()) {
    window.ReportNoChip();
    return CommandOutcome::Refused(Refusal::NoChip);
  }
  if (!SelectChip(window)) return CommandOutcome::Declined();
  if (!window.Record()->IsChipSelected()) {
    window.ReportChipInfoIncomplete();
    return CommandOutcome::Refused(Refusal::BadInput);
  }
  CommSetupDialog dialog(window);
  if (!window.Op().CommSetup(dialog)) return CommandOutcome::Declined();
  return DetectTarget(window);
}

}  // namespace brisko
