#include "shell/erase_commands.hpp"

#include "firmware/firmware.hpp"
#include "link/read_routines.hpp"
#include "link/result_codes.hpp"
#include "shell/block1_programmer.hpp"
#include "shell/detect_command.hpp"
#include "shell/dialog_lists.hpp"
#include "shell/main_window.hpp"

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
bool SelectErasedBlock(MainWindow& w, FlashEngine& engine, int block) {
  const SessionRecord& record = *w.Record();
  const int model = record.GetChipModel();
  const bool internal = record.IsInternalMode();
  if (block == 0) {
    if ((SharesBlockAddresses(model) || (HasBlock1AtE000(model) && internal)) && !engine.SelectBlock0()) {
      w.Op().Tell("Block0 sector erase failed!");
      return false;
    }
    return true;
  }
  if (HasBlock1AtE000(model) && internal && !engine.SelectBlock1()) {
    w.Op().Tell("Block1 sector erase of KT530 and KT560 failed!");
    return false;
  }
  if (SharesBlockAddresses(model) && !engine.SelectBlock1()) {
    w.Op().Tell("Block1 sector erase of KT540 and KT550 failed!");
    return false;
  }
  return true;
}

// Block 1 of a chip in internal memory mode: refuses the loader's sectors,
// erases through the parked programmer and puts block 0 back.
void EraseBlock1ThroughProgrammer(MainWindow& w, FlashEngine& engine, std::uint32_t address,
                                  std::uint32_t sectorSize, std::uint32_t count) {
  const int model = w.Record()->GetChipModel();
  if (const char* refusal = LoaderSectorRefusal(model, address); *refusal) {
    w.Op().Tell(refusal);
    return;
  }
  // Every model whose loader shows one block at a time selects block 0 here:
  // the block-1 selection just made must not send the parking into block 1.
  Block1Parking how{kParkingFailed, kParkingFailed, EraseReentryAddress(model), !IsKT400(model)};
  ParkedRun run =
      RunWithBlock1ProgrammerParked(w, engine, how, [&] { return engine.EraseSectors(address, sectorSize, count); });
  if (!run.parked) return;
  if (run.workResult != kResultOk || !run.block0Restored) {
    w.State().operationFailed = true;
    return;
  }
  w.Op().Tell(kCompleted);
}

void EraseChosenRange(MainWindow& w) {
  SessionRecord& record = *w.Record();
  RangeDialog dialog{StartSectorList(record, true, BankView::None), RangeList(record, BankView::None), 0, 0};
  if (!w.Op().ChooseRange(dialog) || !dialog.Valid()) return;

  const StartChoice start = ResolveStartIndex(record, dialog.start);
  const std::uint32_t count = ResolveSectorCount(record, start, dialog.range);
  const std::uint32_t sectorSize = record.SectorSize(start.block);
  w.SelectTab(start.block);

  FlashEngine engine = w.Engine();
  if (!SelectErasedBlock(w, engine, start.block)) return;
  if (start.block == 1 && record.IsInternalMode())
    return EraseBlock1ThroughProgrammer(w, engine, start.address, sectorSize, count);

  if (engine.EraseSectors(start.address, sectorSize, count) != kResultOk) {
    w.State().operationFailed = true;
    return;
  }
  w.Op().Tell(kCompleted);
}

}  // namespace

void OnSectorErase(MainWindow& w) {
  if (!w.EntryChecks(true, true)) return;
  SessionState& state = w.State();
  if (state.ExternalBankSelected()) return EraseExternalBankSectors(w);
  const int block = w.Record()->GetCurrentBlock();
  if (block != 0 && block != 1) return w.ReportIllegalBlock();
  state.rangeIncludesBlock1 = true;
  EraseChosenRange(w);
  state.rangeIncludesBlock1 = false;
}

void EraseExternalBankSectors(MainWindow& w) {
  SessionRecord& record = *w.Record();
  SessionState& state = w.State();
  const BankView bank = EnteredBank(state.externalLowBankSelected);
  RangeDialog dialog{StartSectorList(record, false, bank), RangeList(record, bank), 0, 0};
  if (!w.Op().ChooseRange(dialog) || !dialog.Valid()) return;
  if (dialog.start == 0 && VerifyExternalLoaderImage(record.Port(), firmware::ExternalLoaderImage) == kResultOk) {
    w.Op().Tell("You can't erase external BSL firmware\nwhich resides in the first sector of Low64K memory!");
    return;
  }
  const auto first = static_cast<std::uint32_t>(dialog.start);
  const std::uint32_t count = BankSectorCount(dialog.start, dialog.range);

  if (w.Engine().EraseSectors(first * kBankSectorSize, kBankSectorSize, count) == kResultOk)
    w.Op().Tell(kCompleted);
  else
    state.operationFailed = true;
}

void OnChipErase(MainWindow& w) {
  w.ClearStatusText();
  SessionRecord* record = w.Record();
  if (!record) return w.ReportNoChip();
  if (!record->Port().IsLinkUp()) return w.ReportNoTargetBoard();

  SessionState& state = w.State();
  if (w.Op().Ask("Do you really want to proceed?")) {
    FlashEngine engine = w.Engine();
    if (!state.ExternalBankSelected()) {
      if (engine.ChipErase() == kResultOk) {
        // The chip is blank and about to be reset: no keep-alive while the
        // message is open.
        state.linkBusy = true;
        w.Op().Tell("Chip Erase Completed!\nChip will be automatically redetected!");
        w.ResetTarget();
      } else {
        w.Op().Tell("Chip Erase Failed!!!");
      }
    } else if (engine.ChipEraseExternal() == kResultOk) {
      w.Op().Tell("Chip Erase Completed!");
    } else {
      w.Op().Tell("Chip Erase Failed!!!");
    }
  }
  state.linkBusy = false;
  DetectTarget(w);
}

}  // namespace brisko
