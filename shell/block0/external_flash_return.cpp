#include "shell/block0/external_flash_return.hpp"

#include "link/command_primitives.hpp"
#include "link/result_codes.hpp"
#include "shell/session/session.hpp"
#include "link/read_routines.hpp"
#include "shell/block0/bank_helper.hpp"
#include "shell/block0/displaced_section.hpp"
#include "shell/block0/recovery_file.hpp"

namespace brisko {
namespace {

constexpr int kReturnAttempts = 11;
constexpr std::uint8_t kLeaveBanks = 0x01;

bool SendLeaveBanks(SerialPort& port) {
  for (int attempt = 0; attempt < kReturnAttempts; ++attempt) {
    if (port.WriteByte(kLeaveBanks) && port.WriteByte(kLeaveBanks)) return true;
  }
  return false;
}

RestoreResults RestoreOnce(FlashEngine& engine, const SessionState& state, std::uint32_t sectorSize,
                           bool eraseSector0) {
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

bool LoaderAnswers(SerialPort& port) {
  std::uint8_t byte = 0;
  return ReadLoaderBytes(port, 0x0000, {&byte, 1});
}

RestoreResults RestoreBlock0Areas(Session& session, int attempts) {
  SessionRecord& record = *session.Record();
  if (!IsKT400(record.GetChipModel())) return RestoreResults{};
  const SessionState& state = session.State();
  // Putting the user's bytes back is never cut short by a cancel.
  const DisplacedSection section(session, BankHelperNotice(state.bankRecoveryFile), DisplacedSection::Kind::Restore);
  FlashEngine engine = section.Engine();
  const std::uint32_t sectorSize = record.SectorSize(0);
  RestoreResults results = RestoreOnce(engine, state, sectorSize, false);
  // A chip that stopped answering gets no second attempt.
  for (int again = 0; again < attempts && !results.AllOk() && LoaderAnswers(record.Port()); ++again)
    results = RestoreOnce(engine, state, sectorSize, true);
  return results;
}

void ReturnToMcuFlashAfterDetect(Session& session) {
  if (session.RefuseOnEntry(true, true)) return;
  SessionRecord& record = *session.Record();
  SessionState& state = session.State();
  if (!SendLeaveBanks(record.Port())) {
    session.Op().Tell("Return to MCU Flash Failed!");
    return;
  }
  state.externalLowBankSelected = false;
  state.externalHighBankSelected = false;
  ChipInfoTexts info = session.Window().ChipInfo();
  const ChipDescription& chip = DescribeChip(record.GetChipModel());
  info.memMode = "Internal";
  info.remap = state.savedRemapText;
  info.chipType = chip.chipTypeText;
  info.flashSize = chip.flashSizeText;
  session.Window().SetChipInfo(info);
  if (chip.family == ChipFamily::KT500) session.Window().SetButton(IapButton::LockChip, true);

  const RestoreResults results = RestoreBlock0Areas(session, kReturnAttempts);
  state.operationFailed = false;
  if (!results.AllOk()) {
    state.operationFailed = true;
    session.Op().Tell("Please press the reset button, and redetect the chip!");
    session.Window().ProgressReset();
    return;
  }
  RemoveRecoveryFile(state.bankRecoveryFile);
  state.bankRecoveryFile.clear();
  session.Notice().Set("");
  session.Window().ProgressReset();
  session.Window().ClearStatusText();
}

}  // namespace brisko
