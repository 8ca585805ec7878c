#include "shell/flash/external_bank_commands.hpp"

#include <cstdio>
#include <string>

#include "link/result_codes.hpp"
#include "shell/block0/bank_helper.hpp"
#include "shell/block0/external_flash_return.hpp"
#include "shell/session/session.hpp"
#include "shell/block0/recovery_file.hpp"

namespace brisko {
namespace {

constexpr int kAttempts = 11;
constexpr std::uint8_t kEnterBank = 0x66;
constexpr std::uint8_t kLeaveBank = 0x01;

const char* HalfName(bool high) { return high ? "High" : "Low"; }

bool SendEnter(SerialPort& port, std::uint8_t bankSelectByte) {
  for (int attempt = 0; attempt < kAttempts; ++attempt)
    if (port.WriteByte(kEnterBank) && port.WriteByte(kEnterBank) &&
        port.WriteByte(bankSelectByte))
      return true;
  return false;
}

bool SendLeave(SerialPort& port) {
  for (int attempt = 0; attempt < kAttempts; ++attempt)
    if (port.WriteByte(kLeaveBank) && port.WriteByte(kLeaveBank)) return true;
  return false;
}

bool HardLocked(std::uint8_t securityBits) { return (securityBits & 0x80) != 0; }

// Where the user's block-0 bytes are when the chip still holds the helper.
void TellRecoveryFile(const SessionState& state, Operator& op) {
  const std::string& path = state.bankRecoveryFile;
  if (path.empty()) return;
  op.Tell("Block 0 still holds the external flash helper!\nIts saved data are in the file\n" + path +
          "\n(128 bytes for 0000h-007Fh, then 384 bytes for 2000h-217Fh).");
}

void ShowBankEntered(WindowModel& window, SessionState& state, bool high) {
  state.externalLowBankSelected = !high;
  state.externalHighBankSelected = high;
  for (IapButton off : {IapButton::DownloadRun, IapButton::ChipErase, IapButton::LockChip, IapButton::MemoryRemap})
    window.SetButton(off, false);
  for (IapButton on : {IapButton::Read, IapButton::Download, IapButton::SectorErase}) window.SetButton(on, true);
  ChipInfoTexts info = window.ChipInfo();
  info.chipType = "KF010";
  info.flashSize = std::string(HalfName(high)) + " 64KB";
  info.memMode = "External Flash";
  info.remap = "Not Applicable";
  window.SetChipInfo(info);
}

CommandOutcome EnterBank(Session& session, bool high) {
  if (auto refused = session.RefuseOnEntry(true, true)) return *refused;
  SessionRecord& record = *session.Record();
  const std::string half = HalfName(high);
  if (record.GetCurrentBlock() != 0 && record.GetCurrentBlock() != 1) {
    session.ReportIllegalBlock();
    return CommandOutcome::Refused(Refusal::IllegalBlock);
  }
  if (record.GetMemoryMode() != kInternalMemory) {
    session.Op().Tell("Entering " + half + " 64KB of external flash only works in internal memory mode!");
    return CommandOutcome::Refused(Refusal::NotSupported);
  }
  const bool kt400 = IsKT400(record.GetChipModel());
  if (kt400 && HardLocked(session.State().securityBits)) {
    session.Op().Tell("External Flash can't be accessed if Block0 hard locked!");
    return CommandOutcome::Refused(Refusal::SecurityLock);
  }
  // The host cannot see the switch: the operator says when it is set.
  session.Op().TellAndWait(BankSwitchText(high));
  const std::string failed = "Entering " + half + " 64KB of External Flash Failed!";
  const Result installed = kt400 ? InstallBankHelper(session) : Result::Ok;
  if (installed == Result::Cancelled)
    return CommandOutcome::Cancelled("install bank helper", "nothing on the chip was changed");
  if (installed != Result::Ok) {
    session.Op().Tell(failed);
    TellRecoveryFile(session.State(), session.Op());
    return CommandOutcome::Failed("install bank helper", Result::Failed);
  }
  if (!SendEnter(record.Port(), static_cast<std::uint8_t>(record.GetCurrentBlock()))) {
    session.Op().Tell(failed);
    if (!session.State().ExternalBankSelected()) TellRecoveryFile(session.State(), session.Op());
    return CommandOutcome::Failed("enter bank", Result::Failed);
  }
  ShowBankEntered(session.Window(), session.State(), high);
  session.Op().Tell("Entering " + half + " 64KB of External Flash Successful!");
  return CommandOutcome::Success(high ? "entered high bank" : "entered low bank");
}

void ShowMcuFlash(WindowModel& window, const SessionRecord& record, const SessionState& state) {
  window.SetButton(IapButton::ChipErase, false);
  const ChipDescription& chip = DescribeChip(record.GetChipModel());
  ChipInfoTexts info = window.ChipInfo();
  info.memMode = "Internal";
  info.remap = state.savedRemapText;
  info.chipType = chip.chipTypeText;
  info.flashSize = chip.flashSizeText;
  window.SetChipInfo(info);
  if (chip.family == ChipFamily::KT500) {
    window.SetButton(IapButton::LockChip, true);
    window.SetButton(IapButton::MemoryRemap, true);
  }
  const std::uint8_t bits = state.securityBits;
  const bool usable = bits == 0x00 || bits == 0x20 || bits == 0x40 || bits == 0x80 || bits == 0xC0;
  for (IapButton b : {IapButton::Read, IapButton::Download, IapButton::SectorErase, IapButton::DownloadRun})
    window.SetButton(b, usable);
}

}  // namespace

const char* BankSwitchText(bool high) {
  return high ? "Please set DIP switch on SW2 of\nBSL Demo Board v2.0 as follows:\n\na.    EA1# = 1  or  #1 = OFF\n"
                "b.    CE# = 0    or  #2 = ON\nc.    A16 = 1     or  #3 = OFF\nd.    RST1 = 1  or  #8 = OFF\n"
                "e.    Vcc >= 3.3V"
              : "Please set DIP switch on SW2 of\nBSL Demo Board v2.0 as follows:\n\na.    EA1# = 1  or  #1 = OFF\n"
                "b.    CE# = 0    or  #2 = ON\nc.    A16 = 0     or  #3 = ON\nd.    RST1 = 1  or  #8 = OFF\n"
                "e.    Vcc >= 3.3V";
}

CommandOutcome OnEnterLowBank(Session& session) { return EnterBank(session, false); }
CommandOutcome OnEnterHighBank(Session& session) { return EnterBank(session, true); }

CommandOutcome OnReturnToMcuFlash(Session& session) { return ReturnToMcuFlash(session, true); }
CommandOutcome ReturnToMcuFlashUnasked(Session& session) { return ReturnToMcuFlash(session, false); }

CommandOutcome ReturnToMcuFlash(Session& session, bool ask) {
  if (auto refused = session.RefuseOnEntry(true, true)) return *refused;
  SessionState& state = session.State();
  if (!state.ExternalBankSelected()) {
    session.Op().Tell("You are in Internal Memory mode already!");
    return CommandOutcome::Refused(Refusal::NotSupported);
  }
  if (ask && !session.Op().Ask("Do you really want to return to internal memory mode?\n")) return CommandOutcome::Declined();
  if (!SendLeave(session.Record()->Port())) {
    session.Op().Tell("Return to MCU Flash Failed!");
    return CommandOutcome::Failed("return to MCU flash", Result::Failed);
  }
  // A line that died during the bank's command is found out in one exchange,
  // not in every attempt of the restore.
  if (IsKT400(session.Record()->GetChipModel()) && !LoaderAnswers(session.Record()->Port())) {
    session.Op().Tell("Return to MCU Flash Failed!");
    session.Op().Tell("The chip does not answer any more.");
    TellRecoveryFile(session.State(), session.Op());
    return CommandOutcome::Failed("return to MCU flash", Result::NoReply);
  }
  state.externalLowBankSelected = false;
  state.externalHighBankSelected = false;
  ShowMcuFlash(session.Window(), *session.Record(), session.State());

  const RestoreResults results = RestoreBlock0Areas(session, kAttempts);
  state.operationFailed = false;
  if (!results.AllOk()) {
    state.operationFailed = true;
    session.Op().Tell("Return to MCU Flash Failed!");
    char status[64];
    std::snprintf(status, sizeof status, "rc=%d,%d,%d. Failed!", Code(results.sector0), Code(results.erase2000),
                  Code(results.area2000));
    session.Window().SetStatusText(status);
    TellRecoveryFile(session.State(), session.Op());
    return CommandOutcome::Failed("restore block 0", Result::Failed);
  }
  RemoveRecoveryFile(state.bankRecoveryFile);
  state.bankRecoveryFile.clear();
  session.Notice().Set("");
  session.Window().ProgressSetText("Done");
  session.Op().Tell("Return to MCU Flash Successful!");
  session.Window().SetStatusText("Return to MCU Flash Successful!");
  return CommandOutcome::Success("returned to MCU flash");
}

}  // namespace brisko
