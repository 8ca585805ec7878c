#include "shell/flash/erase_commands.hpp"

#include "firmware/firmware.hpp"
#include "link/read_routines.hpp"
#include "link/result_codes.hpp"
#include "shell/block0/block1_programmer.hpp"
#include "shell/detection/detect_command.hpp"
#include "shell/flash/dialog_lists.hpp"
#include "shell/session/session.hpp"
#include "shell/flash/range_command.hpp"

namespace brisko {
namespace {

constexpr const char* kCompleted = "Sectors erase completed!!!";
constexpr const char* kParkingFailed = "Erase Block1 Sectors Failed!";

// The loader's own sectors at the start of block 1, which an erase may not
// touch; "" when `address` lies outside them.
const char* LoaderSectorRefusal(int model, std::uint32_t address) {
  if (IsKT400(model))
    return address >= 0xF000 && address < 0xF400
               ? "You can not erase the first 16 block1\nsectors which are used to store BSL!"
               : "";
  const std::uint32_t from = Block1Start(model);
  return address >= from && address < from + 0x480
             ? "You can not erase the first 9 block1\nsectors which are used to store BSL!"
             : "";
}

// Where the loader is re-entered once the parked programmer has erased.
std::uint16_t EraseReentryAddress(int model) {
  if (SharesBlockAddresses(model)) return 0x02CA;
  if (HasBlock1AtE000(model)) return 0xE2CA;
  return 0xF080;
}

// Block selection before the erase; false (told) when the loader refused it.
bool SelectErasedBlock(const SessionRecord& record, FlashEngine& engine, Operator& op, int block) {
  const int model = record.GetChipModel();
  const bool internal = record.IsInternalMode();
  if (block == 0) {
    if (record.SelectsBlocks() && !engine.SelectBlock0()) {
      op.Tell("Block0 sector erase failed!");
      return false;
    }
    return true;
  }
  if (HasBlock1AtE000(model) && internal && !engine.SelectBlock1()) {
    op.Tell("Block1 sector erase of KT530 and KT560 failed!");
    return false;
  }
  if (SharesBlockAddresses(model) && !engine.SelectBlock1()) {
    op.Tell("Block1 sector erase of KT540 and KT550 failed!");
    return false;
  }
  return true;
}

// Block 1 of a chip in internal memory mode: refuses the loader's sectors,
// erases through the parked programmer and puts block 0 back.
CommandOutcome Erased(std::uint32_t address, std::size_t length, int block) {
  CommandOutcome done = CommandOutcome::Success("erased");
  done.address = address;
  done.bytes = length;
  done.block = block;
  return done;
}

CommandOutcome EraseFailed(SessionState& state, Result result) {
  if (result != Result::Cancelled) state.operationFailed = true;
  return CommandOutcome::Stopped("erase", result);
}

CommandOutcome EraseBlock1ThroughProgrammer(Session& session, FlashEngine& engine, std::uint32_t address,
                                            std::uint32_t sectorSize, std::uint32_t count) {
  const int model = session.Record()->GetChipModel();
  if (const char* refusal = LoaderSectorRefusal(model, address); *refusal) {
    session.Op().Tell(refusal);
    return CommandOutcome::Refused(Refusal::LoaderArea);
  }
  // Every model whose loader shows one block at a time selects block 0 here:
  // the block-1 selection just made must not send the parking into block 1.
  Block1Parking how{kParkingFailed, kParkingFailed, EraseReentryAddress(model), !IsKT400(model)};
  ParkedRun run =
      RunWithBlock1ProgrammerParked(session, engine, how, [&] { return engine.EraseSectors(address, sectorSize, count); });
  if (run.cancelledBefore)
    return CommandOutcome::Cancelled("park the block-1 programmer", "nothing on the chip was changed");
  if (!run.parked) return CommandOutcome::Failed("park the block-1 programmer", Result::Failed);
  if (!run.block0Restored) {
    session.State().operationFailed = true;
    return CommandOutcome::Failed("restore block 0", Result::Failed);
  }
  if (run.workResult == Result::Cancelled) return CommandOutcome::Cancelled("erase", "block 0 put back");
  if (run.workResult != Result::Ok) return EraseFailed(session.State(), run.workResult);
  session.Op().Tell(kCompleted);
  if (session.State().cancelRequested) return CommandOutcome::Cancelled("erase", "block 1 erased, block 0 put back");
  return Erased(address, static_cast<std::size_t>(count) * sectorSize, 1);
}

CommandOutcome EraseChosenRange(Session& session) {
  SessionRecord& record = *session.Record();
  const auto range = ChooseSectorRange(session);
  if (!range) return CommandOutcome::Declined();
  const auto [start, count, sectorSize] = *range;

  FlashEngine engine = session.Engine();
  if (!SelectErasedBlock(*session.Record(), engine, session.Op(), start.block))
    return CommandOutcome::Failed("select the block", Result::Failed);
  if (start.block == 1 && record.IsInternalMode())
    return EraseBlock1ThroughProgrammer(session, engine, start.address, sectorSize, count);

  const Result result = engine.EraseSectors(start.address, sectorSize, count);
  if (result != Result::Ok) return EraseFailed(session.State(), result);
  session.Op().Tell(kCompleted);
  return Erased(start.address, static_cast<std::size_t>(count) * sectorSize, start.block);
}

}  // namespace

CommandOutcome OnSectorErase(Session& session) {
  return RunOnSectorRange(session, EraseChosenRange, EraseExternalBankSectors);
}

CommandOutcome EraseExternalBankSectors(Session& session) {
  SessionRecord& record = *session.Record();
  SessionState& state = session.State();
  const BankView bank = EnteredBank(state.externalLowBankSelected);
  RangeDialog dialog{StartSectorList(record, false, bank), RangeList(record, bank), 0, 0};
  if (!session.Op().ChooseRange(dialog) || !dialog.Valid()) return CommandOutcome::Declined();
  if (dialog.start == 0 && VerifyExternalLoaderImage(record.Port(), firmware::ExternalLoaderImage) == Result::Ok) {
    session.Op().Tell("You can't erase external BSL firmware\nwhich resides in the first sector of Low64K memory!");
    return CommandOutcome::Refused(Refusal::LoaderArea);
  }
  const auto first = static_cast<std::uint32_t>(dialog.start);
  const std::uint32_t count = BankSectorCount(dialog.start, dialog.range);

  const Result result = session.Engine().EraseSectors(first * kBankSectorSize, kBankSectorSize, count);
  if (result != Result::Ok) return EraseFailed(session.State(), result);
  session.Op().Tell(kCompleted);
  return Erased(first * kBankSectorSize, static_cast<std::size_t>(count) * kBankSectorSize, -1);
}

CommandOutcome OnChipErase(Session& session) {
  if (auto refused = session.RefuseOnEntry(true, false)) return *refused;
  SessionState& state = session.State();
  CommandOutcome outcome = CommandOutcome::Declined();
  if (session.Op().Ask("Do you really want to proceed?")) {
    FlashEngine engine = session.Engine();
    const bool external = state.ExternalBankSelected();
    const Result result = external ? engine.ChipEraseExternal() : engine.ChipErase();
    if (result != Result::Ok) {
      session.Op().Tell("Chip Erase Failed!!!");
      outcome = CommandOutcome::Failed("chip erase", result);
    } else if (external) {
      session.Op().Tell("Chip Erase Completed!");
      outcome = CommandOutcome::Success("erased the external flash");
    } else {
      // The chip is blank and about to be reset: no keep-alive while the
      // message is open.
      state.linkBusy = true;
      session.Op().Tell("Chip Erase Completed!\nChip will be automatically redetected!");
      session.ResetTarget();
      outcome = CommandOutcome::Success("erased the chip");
    }
  }
  state.linkBusy = false;
  // The chip is detected again whatever the answer; an erase that cannot be
  // followed by a detection has not ended well.
  const CommandOutcome detected = DetectTarget(session);
  if (outcome.Ok() && !detected.Ok()) return detected;
  return outcome;
}

}  // namespace brisko
