#include "shell/detection/detect_command.hpp"

#include "link/result_codes.hpp"
#include "shell/block0/recovery_offer.hpp"
#include "shell/setup/comm_setup_dialog.hpp"
#include "shell/block0/external_flash_return.hpp"
#include "shell/session/session.hpp"
#include "chip/handshake.hpp"
#include "chip/status_decoding.hpp"

namespace brisko {
namespace {

constexpr const char* kResetPrompt = "Click on OK then Reset MCU\nto Detect Baud & Chip\n(MCU:Fw v1.1F)";
constexpr const char* kDoubleClockQuestion =
    "Since the chip has been set to Double Clock, you can enter twice the original crystal frequency.\n "
    "(e.g. You entered 2MHz before setting double clock, now you can enter 4MHz.)\n\nDo you want to enter "
    "another crystal frequency?";

// The operator resets the chip after OK; the port opens with the lines of
// the memory mode. The reason the port did not open goes to the status line.
bool OpenLink(Session& session, SessionRecord& record) {
  session.Op().Tell(kResetPrompt);
  SerialPort& port = record.Port();
  if (port.Open() != Result::Ok) {
    session.Op().Tell("Failed to setup Serial Comm with Target MCU!!!");
    session.Window().SetStatusText(port.LastOpenError());
    return false;
  }
  if (record.GetMemoryMode() == kExternalMemory)
    port.SetLinesForExternalMode();
  else
    port.SetLinesForInternalMode();
  return true;
}

// The loader's hand-shake: the baud lock, the ready check, the memory-mode
// selection where the model needs one, then the status byte and the version.
// Returns the status byte and the version answer, or none after telling the
// step's message.
struct LoaderAnswers {
  std::uint8_t status;
  std::array<std::uint8_t, 2> version;
};

std::optional<LoaderAnswers> Handshake(Session& session, SessionRecord& record, bool& cancelled) {
  SerialPort& port = record.Port();
  Operator& op = session.Op();
  switch (SynchroniseBaud(port, port.Timing().syncLimit, &session.State().cancelRequested)) {
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

// What the chip said goes into the session and the window. False when
// the detection ends here with a message.
bool ApplyAnswers(Session& session, SessionRecord& record, const LoaderAnswers& answers) {
  SessionState& state = session.State();
  const int model = record.GetChipModel();
  record.Port().SetLinkUp();
  record.AllocateImages();
  state.statusByte = answers.status;
  DecodeSecurityStatus(session, answers.status);

  ChipInfoTexts info = session.Window().ChipInfo();
  const ChipFamily family = FamilyOf(model);
  if (family != ChipFamily::None) info.remap = RemapText(model, answers.status);
  if (family == ChipFamily::KT500) {
    state.doubleClockOn = DoubleClockBitOf(answers.status);
    session.UpdateDoubleClockPane();
  }
  state.savedRemapText = info.remap;
  const ChipDescription& chip = DescribeChip(model);
  info.chipType = chip.chipTypeText;
  info.flashSize = chip.flashSizeText;
  info.fwVersion = FirmwareVersionText(answers.version[0], answers.version[1]);
  session.Window().SetChipInfo(info);
  if (info.fwVersion != kAcceptedFirmwareText) {
    session.Op().Tell("Wrong Firmware Version Detected in MCU chip!!!");
    return false;
  }
  session.Window().SetStatusText("Detect target MCU is successful!");
  if (record.GetCurrentBlock() != 0 && record.GetCurrentBlock() != 1) {
    session.ReportIllegalBlock();
    return false;
  }
  state.securityBits = SecurityBitsOf(answers.status);
  info.memMode = MemoryModeText(record.GetMemoryMode());
  session.Window().SetChipInfo(info);
  session.Window().ApplyButtonChanges(ButtonsAfterDetection(record.GetMemoryMode(), model, state.securityBits));
  return true;
}

// A detection clears the external-flash view; in external memory mode the
// KT400 family's loader work area is put back at once.
void LeaveExternalFlashView(Session& session, SessionRecord& record) {
  SessionState& state = session.State();
  if (!state.ExternalBankSelected()) return;
  state.userCodeStarted = false;
  if (record.GetMemoryMode() == kInternalMemory) {
    ReturnToMcuFlashAfterDetect(session);
    return;
  }
  state.externalLowBankSelected = false;
  state.externalHighBankSelected = false;
  RestoreBlock0Areas(session, 0);
}

}  // namespace

void OfferDoubleClockCrystal(Session& session) {
  SessionRecord& record = *session.Record();
  SessionState& state = session.State();
  state.userCodeStarted = false;
  if (!state.doubleClockOn || record.Port().GetBaudRate() >= 38400 || state.doubleClockAsked) return;
  if (!session.Op().Ask(kDoubleClockQuestion)) return;
  session.ResetTarget();
  state.doubleClockAsked = true;
  CommSetupDialog dialog(session);
  if (session.Op().CommSetup(dialog)) DetectTarget(session);
}


void DecodeSecurityStatus(Session& session, std::uint8_t status) {
  SessionState& state = session.State();
  state.securityBits = SecurityBitsOf(status);
  if (SessionRecord* record = session.Record()) {
    record->securityCopy = state.securityBits;
    if (auto security = SecurityStatusText(state.securityBits, record->GetChipModel())) {
      session.Window().ShowSecurityText(security->text);
      if (security->level4) session.Op().Tell("PLEASE STOP AND EXIT THE WINDOW!!!");
    }
  }
}

CommandOutcome DetectTarget(Session& session) {
  SessionRecord* record = session.Record();
  if (!record) {
    session.ReportNoChip();
    return CommandOutcome::Refused(Refusal::NoChip);
  }
  record->applyGeometry();
  if (!record->Port().IsLinkUp()) {
    if (!OpenLink(session, *record)) return CommandOutcome::Failed("open the port", Result::PortNotOpened);
    bool cancelled = false;
    const auto answers = Handshake(session, *record, cancelled);
    if (cancelled) return CommandOutcome::Cancelled("find the loader", "nothing on the chip was changed");
    if (!answers) return CommandOutcome::Failed("find the loader", Result::NoReply);
    if (!ApplyAnswers(session, *record, *answers)) return CommandOutcome::Failed("check the loader", Result::WrongReply);
    LeaveExternalFlashView(session, *record);
    OfferRecoveryFiles(session);
    OfferDoubleClockCrystal(session);
  }
  if (!record->Port().IsLinkUp()) return CommandOutcome::Failed("detect again", Result::Failed);
  // The loader answers for any model: the model is the operator's choice.
  return CommandOutcome::Success("found the loader of the selected " + session.Window().ChipInfo().chipType);
}

bool SelectChip(SessionRecord& record, Operator& op) {
  ChipSelection selection{record.GetChipModel(), record.GetMemoryMode()};
  const bool ok = op.SelectChip(selection);
  // A radio stores its choice as soon as it is clicked, so a model picked
  // before Cancel stays.
  record.SetChipModel(selection.model);
  record.SetMemoryMode(selection.memoryMode);
  if (ok) record.applyGeometry();
  return ok;
}

CommandOutcome OnDetectMenu(Session& session) {
  if (!session.Record()) {
    session.ReportNoChip();
    return CommandOutcome::Refused(Refusal::NoChip);
  }
  if (!SelectChip(*session.Record(), session.Op())) return CommandOutcome::Declined();
  if (!session.Record()->IsChipSelected()) {
    session.ReportChipInfoIncomplete();
    return CommandOutcome::Refused(Refusal::BadInput);
  }
  CommSetupDialog dialog(session);
  if (!session.Op().CommSetup(dialog)) return CommandOutcome::Declined();
  return DetectTarget(session);
}

}  // namespace brisko
