#include "shell/loader/unknown_version_detect.hpp"

#include "chip/handshake.hpp"
#include "chip/status_decoding.hpp"
#include "link/result_codes.hpp"
#include "shell/setup/comm_setup_dialog.hpp"
#include "shell/detection/detect_command.hpp"
#include "shell/loader/legacy_detection.hpp"
#include "shell/session/main_window.hpp"

namespace brisko {
namespace {

constexpr const char* kResetPrompt =
    "Click on OK then Reset MCU\nto Detect Baud & Chip\n(We will detect MCU:FW 1.1F first.)";
constexpr const char* kDoubleClockQuestion =
    "Since the chip has been set to Double Clock, you can enter twice the original crystal frequency.\n "
    "(e.g. You entered 2MHz before setting double clock, now you can enter 4MHz.)\n\nDo you want to enter "
    "another crystal frequency?";

CommandOutcome Fail(MainWindow& w, const char* text, const char* step, Result code) {
  w.Op().Tell(text);
  return CommandOutcome::Failed(step, code);
}

// H3 to H6 once "OK" has come, as the 1.1F detection does them in internal
// memory mode.
CommandOutcome FinishHandshake(MainWindow& w, SessionRecord& record) {
  SerialPort& port = record.Port();
  switch (CheckReady(port)) {
    case ReadyOutcome::Ready: break;
    case ReadyOutcome::SendFailed:
      return Fail(w, "Failed on sending baud_detect_string #2.", "ready check", Result::Failed);
    case ReadyOutcome::NoByte0: return Fail(w, "Failed on receiving string RDY(0).", "ready check", Result::NoReply);
    case ReadyOutcome::NoByte1: return Fail(w, "Failed on receiving string RDY(1).", "ready check", Result::NoReply);
    case ReadyOutcome::BadOrNoByte2:
      return Fail(w, "Failed on receiving string RDY(2).", "ready check", Result::WrongReply);
  }
  const std::uint8_t select[] = {0x05, 0x55};
  if (!port.WriteBytes(select, sizeof select))
    return Fail(w, "Failed on sending 05h & 55h to Target MCU.", "mode select", Result::FrameNotSent);
  std::uint8_t status = 0;
  if (!port.ReadByte(status))
    return Fail(w, "No Response from Target Board after sending 05h,55h!!!", "mode select", Result::NoReply);
  const auto version = QueryVersion(port);
  if (!version) return Fail(w, "No Response from Target Board after sending 60h!!!", "version query", Result::NoReply);

  SessionState& state = w.State();
  const int model = record.GetChipModel();
  port.SetLinkUp();
  record.AllocateImages();
  DecodeSecurityStatus(w, status);
  ChipInfoTexts info = w.ChipInfo();
  const ChipFamily family = FamilyOf(model);
  if (family != ChipFamily::None) info.remap = RemapText(model, status);
  if (family == ChipFamily::KT500) {
    state.doubleClockOn = DoubleClockBitOf(status);
    w.UpdateDoubleClockPane();
  }
  state.savedRemapText = info.remap;
  const ChipDescription& chip = DescribeChip(model);
  info.chipType = chip.chipTypeText;
  info.flashSize = chip.flashSizeText;
  info.fwVersion = FirmwareVersionText((*version)[0], (*version)[1]);
  w.SetChipInfo(info);
  if (info.fwVersion != kAcceptedFirmwareText)
    return Fail(w, "Wrong Firmware Version Detected in MCU chip!!!", "version", Result::WrongReply);
  w.SetStatusText("Detect target MCU is successful!");
  w.ProgressSetText("Done");
  if (record.GetCurrentBlock() != 0 && record.GetCurrentBlock() != 1) {
    w.ReportIllegalBlock();
    return CommandOutcome::Refused(Refusal::IllegalBlock);
  }
  state.securityBits = SecurityBitsOf(status);
  info.memMode = MemoryModeText(kInternalMemory);
  w.SetChipInfo(info);
  w.ApplyButtonChanges(ButtonsAfterDetection(kInternalMemory, model, state.securityBits));
  return CommandOutcome::Success("detected");
}

void OfferDoubleClockCrystal(MainWindow& w, SessionRecord& record) {
  SessionState& state = w.State();
  state.userCodeStarted = false;
  if (!state.doubleClockOn || record.Port().GetBaudRate() >= 38400 || state.doubleClockAsked) return;
  if (!w.Op().Ask(kDoubleClockQuestion)) return;
  w.ResetTarget();
  state.doubleClockAsked = true;
  CommSetupDialog dialog(w);
  if (w.Op().CommSetup(dialog)) DetectTarget(w);
}

}  // namespace

CommandOutcome OnDetectUnknownVersion(MainWindow& w) {
  if (!w.Record()) {
    w.ReportNoChip();
    return CommandOutcome::Refused(Refusal::NoChip);
  }
  if (!SelectChip(w)) return CommandOutcome::Declined();
  SessionRecord& record = *w.Record();
  if (!record.IsChipSelected()) {
    w.ReportChipInfoIncomplete();
    return CommandOutcome::Refused(Refusal::BadInput);
  }
  record.applyGeometry();
  SerialPort& port = record.Port();
  if (port.IsLinkUp()) {
    w.ReportChipAlreadyDetected();
    return CommandOutcome::Refused(Refusal::NotSupported);
  }
  w.Op().Tell(kResetPrompt);
  if (port.Open() != Result::Ok) {
    w.SetStatusText(port.LastOpenError());
    return Fail(w, "Failed to setup Serial Comm with Target MCU!!!", "open the port", Result::PortNotOpened);
  }
  port.SetLinesForInternalMode();
  w.ProgressSetText("Reset MCU, then wait for detecting Firmware 1.1F...");
  record.SetMemoryMode(kInternalMemory);

  switch (SynchroniseBaud(port, port.Timing().unknownVersionSync, &w.State().cancelRequested)) {
    case SyncOutcome::Locked: break;
    case SyncOutcome::Cancelled:
      // Not a chip without 1.1F: the operator stopped the search.
      return CommandOutcome::Cancelled("find the loader", "nothing on the chip was changed");
    case SyncOutcome::SendFailed:
      return Fail(w, "Failed on sending baud_detect_string #1.", "baud detection", Result::FrameNotSent);
    case SyncOutcome::TimedOut:
      w.ProgressSetText("Detect Firmware 1.1F failed...");
      w.Op().Tell("Failed to detect Firmware 1.1F,\nnow we will try to detect 1.1E.");
      return DetectLegacyFallback(w);
  }
  CommandOutcome outcome = FinishHandshake(w, record);
  if (outcome.Ok()) OfferDoubleClockCrystal(w, record);
  return outcome;
}

}  // namespace brisko
