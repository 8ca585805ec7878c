#include "shell/external_flash_return.hpp"

#include "link/command_primitives.hpp"
#include "link/result_codes.hpp"
#include "shell/main_window.hpp"
#include "shell/recovery_file.hpp"

namespace brisko {
namespace {

constexpr int kReturnAttempts = 11;
constexpr std::uint8_t kLeaveBanks = 0x01;

bool SendLeaveBanks(SerialPort& port) {
  for (int attempt = 0; attempt < kReturnAttempts; ++attempt) {
    if (port.WriteByte(kLeaveBanks) == kByteOk && port.WriteByte(kLeaveBanks) == kByteOk) return true;
  }
  return false;
}

RestoreResults RestoreOnce(FlashEngine& engine, SessionState& state, std::uint32_t sectorSize, bool eraseSector0) {
  RestoreResults r;
  // The program that follows shows whether sector 0 took the bytes.
  if (eraseSector0) static_cast<void>(engine.EraseSectors(0x0000, sectorSize, 1));
  r.sector0 = engine.ProgramRange(0x0000, sectorSize, state.saved.savedSector0.data(), state.saved.savedSector0.size());
  r.erase2000 = engine.EraseSectors(0x2000, sectorSize, 3);
  r.area2000 =
      engine.ProgramRange(0x2000, sectorSize, state.saved.savedArea2000.data(), state.saved.savedArea2000.size());
  return r;
}

}  // namespace

RestoreResults RestoreBlock0Areas(MainWindow& window, int attempts) {
  SessionRecord& record = *window.Record();
  if (!IsKT400(record.GetChipModel())) return RestoreResults{};
  FlashEngine engine = window.Engine();
  const std::uint32_t sectorSize = record.SectorSize(0);
  RestoreResults results = RestoreOnce(engine, window.State(), sectorSize, false);
  for (int again = 0; again < attempts && !results.AllOk(); ++again)
    results = RestoreOnce(engine, window.State(), sectorSize, true);
  return results;
}

void ReturnToMcuFlashAfterDetect(MainWindow& window) {
  if (window.RefuseOnEntry(true, true)) return;
  SessionRecord& record = *window.Record();
  SessionState& state = window.State();
  if (!SendLeaveBanks(record.Port())) {
    window.Op().Tell("Return to MCU Flash Failed!");
    return;
  }
  state.externalLowBankSelected = false;
  state.externalHighBankSelected = false;
  ChipInfoTexts info = window.ChipInfo();
  const ChipDescription& chip = DescribeChip(record.GetChipModel());
  info.memMode = "Internal";
  info.remap = state.savedRemapText;
  info.chipType = chip.chipTypeText;
  info.flashSize = chip.flashSizeText;
  window.SetChipInfo(info);
  if (chip.family == ChipFamily::KT500) window.SetButton(IapButton::LockChip, true);

  const RestoreResults results = RestoreBlock0Areas(window, kReturnAttempts);
  state.operationFailed = false;
  if (!results.AllOk()) {
    state.operationFailed = true;
    window.Op().Tell("Please press the reset button, and redetect the chip!");
    window.ProgressReset();
    return;
  }
  RemoveBlock0RecoveryFile(state.bankRecoveryFile);
  state.bankRecoveryFile.clear();
  window.ProgressReset();
  window.ClearStatusText();
}

}  // namespace brisko
