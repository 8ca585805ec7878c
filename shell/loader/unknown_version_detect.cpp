#include "shell/loader/unknown_version_detect.hpp"

#include "chip/handshake.hpp"
#include "chip/status_decoding.hpp"
#include "link/result_codes.hpp"
#include "shell/setup/comm_setup_dialog.hpp"
#include "shell/detection/detect_command.hpp"
#include "shell/loader/legacy_detection.hpp"
#include "shell/session/session.hpp"

namespace brisko {
namespace {

constexpr const char* kResetPrompt =
    "Click on OK then Reset MCU\nto Detect Baud & Chip\n(We will detect MCU:FW 1.1F first.)";

CommandOutcome Fail(Operator& op, const char* text, const char* step, Result code) {
  op.Tell(text);
  return CommandOutcome::Failed(step, code);
}

// Once "OK" has come: the ready check, the memory-mode selection, the status
// byte and the version, and the chip panel filled from them, as the 1.1F
// detection does in internal memory mode.
CommandOutcome FinishHandshake(Session& session, SessionRecord& record) {
  SerialPort& port = record.Port();
  switch (CheckReady(port)) {
    case ReadyOutcome::Ready: break;
    case ReadyOutcome::SendFailed:
      return Fail(session.Op(), "Failed on sending baud_detect_string #2.", "ready check", Result::Failed);
    case ReadyOutcome::NoByte0:
      return Fail(session.Op(), "Failed on receiving string RDY(0).", "ready check", Result::NoReply);
    case ReadyOutcome::NoByte1:
      return Fail(session.Op(), "Failed on receiving string RDY(1).", "ready check", Result::NoReply);
    case ReadyOutcome::BadOrNoByte2:
      return Fail(session.Op(), "Failed on receiving string RDY(2).", "ready check", Result::WrongReply);
  }
  const std::uint8_t select[] = {0x05, 0x55};
  if (!port.WriteBytes(select, sizeof select))
    return Fail(session.Op(), "Failed on sending 05h & 55h to Target MCU.", "mode select", Result::FrameNotSent);
  std::uint8_t status = 0;
  if (!port.ReadByte(status))
    return Fail(session.Op(), "No Response from Target Board after sending 05h,55h!!!", "mode select", Result::NoReply);
  const auto version = QueryVersion(port);
  if (!version)
    return Fail(session.Op(), "No Response from Target Board after sending 60h!!!", "version query", Result::NoReply);

  SessionState& state = session.State();
  const int model = record.GetChipModel();
  port.SetLinkUp();
  record.AllocateImages();
  DecodeSecurityStatus(session, status);
  ChipInfoTexts info = session.Window().ChipInfo();
  const ChipFamily family = FamilyOf(model);
  if (family != ChipFamily::None) info.remap = RemapText(model, status);
  if (family == ChipFamily::KT500) {
    state.doubleClockOn = DoubleClockBitOf(status);
    session.UpdateDoubleClockPane();
  }
  state.savedRemapText = info.remap;
  const ChipDescription& chip = DescribeChip(model);
  info.chipType = chip.chipTypeText;
  info.flashSize = chip.flashSizeText;
  info.fwVersion = FirmwareVersionText((*version)[0], (*version)[1]);
  session.Window().SetChipInfo(info);
  if (info.fwVersion != kAcceptedFirmwareText)
    return Fail(session.Op(), "Wrong Firmware Version Detected in MCU chip!!!", "version", Result::WrongReply);
  session.Window().SetStatusText("Detect target MCU is successful!");
  session.Window().ProgressSetText("Done");
  if (record.GetCurrentBlock() != 0 && record.GetCurrentBlock() != 1) {
    session.ReportIllegalBlock();
    return CommandOutcome::Refused(Refusal::IllegalBlock);
  }
  state.securityBits = SecurityBitsOf(status);
  info.memMode = MemoryModeText(kInternalMemory);
  session.Window().SetChipInfo(info);
  session.Window().ApplyButtonChanges(ButtonsAfterDetection(kInternalMemory, model, state.securityBits));
  return CommandOutcome::Success("detected");
}

}  // namespace

CommandOutcome OnDetectUnknownVersion(Session& session) {
  if (!session.Record()) {
    session.ReportNoChip();
    return CommandOutcome::Refused(Refusal::NoChip);
  }
  if (!SelectChip(*session.Record(), session.Op())) return CommandOutcome::Declined();
  SessionRecord& record = *session.Record();
  if (!record.IsChipSelected()) {
    session.ReportChipInfoIncomplete();
    return CommandOutcome::Refused(Refusal::BadInput);
  }
  record.applyGeometry();
  SerialPort& port = record.Port();
  if (port.IsLinkUp()) {
    session.ReportChipAlreadyDetected();
    return CommandOutcome::Refused(Refusal::NotSupported);
  }
  session.Op().Tell(kResetPrompt);
  if (port.Open() != Result::Ok) {
    session.Window().SetStatusText(port.LastOpenError());
    return Fail(session.Op(), "Failed to setup Serial Comm with Target MCU!!!", "open the port", Result::PortNotOpened);
  }
  port.SetLinesForInternalMode();
  session.Window().ProgressSetText("Reset MCU, then wait for detecting Firmware 1.1F...");
  record.SetMemoryMode(kInternalMemory);

  switch (SynchroniseBaud(port, port.Timing().unknownVersionSync, &session.State().cancelRequested)) {
    case SyncOutcome::Locked: break;
    case SyncOutcome::Cancelled:
      // Not a chip without 1.1F: the operator stopped the search.
      return CommandOutcome::Cancelled("find the loader", "nothing on the chip was changed");
    case SyncOutcome::SendFailed:
      return Fail(session.Op(), "Failed on sending baud_detect_string #1.", "baud detection", Result::FrameNotSent);
    case SyncOutcome::TimedOut:
      session.Window().ProgressSetText("Detect Firmware 1.1F failed...");
      session.Op().Tell("Failed to detect Firmware 1.1F,\nnow we will try to detect 1.1E.");
      return DetectLegacyFallback(session);
  }
  CommandOutcome outcome = FinishHandshake(session, record);
  if (outcome.Ok()) OfferDoubleClockCrystal(session);
  return outcome;
}

}  // namespace brisko
