#include "shell/flash/print_command.hpp"

#include "image/print_range.hpp"
#include "link/result_codes.hpp"
#include "shell/flash/dialog_lists.hpp"
#include "shell/flash/file_lock_rule.hpp"
#include "shell/session/main_window.hpp"
#include "shell/flash/range_command.hpp"

namespace brisko {
namespace {

constexpr const char* kPrinted = "Print data has completed";
constexpr const char* kPrintFailed = "Print data failed";

// The printer's result with what the operator can do about a failure.
struct Printed {
  Result result;
  std::string whyNot;
};

// Tells the result unless the engine has already told its own failure; a
// cancelled print neither failed nor printed, so it tells nothing.
CommandOutcome ReportOutcome(MainWindow& w, const Printed& printed, std::uint32_t address, std::size_t length,
                             int block) {
  const Result result = printed.result;
  if (result == Result::Cancelled) return CommandOutcome::Cancelled("read");
  if (!w.State().operationFailed) {
    const bool told = result == Result::Failed && !printed.whyNot.empty();
    w.Op().Tell(result == Result::Ok ? kPrinted : told ? kPrintFailed + ("\n" + printed.whyNot) : kPrintFailed);
  }
  if (result != Result::Ok) return CommandOutcome::Failed(result == Result::Failed ? "print" : "read", result);
  CommandOutcome outcome = CommandOutcome::Success("printed");
  outcome.address = address;
  outcome.bytes = length;
  outcome.block = block;
  return outcome;
}

Printed Print(MainWindow& w, FlashEngine& engine, std::uint32_t address, std::size_t length, std::uint32_t chunk) {
  FileRoutineContext ctx{*w.Record(), w.State(), engine, w.Op()};
  Printed printed{Result::Ok, ""};
  printed.result = PrintRange(ctx, address, length, chunk, [&w, &printed](const std::string& listing) {
    return w.Op().PrintListing(listing, printed.whyNot);
  });
  return printed;
}

// KT540/KT550 always, the E000h models in internal memory mode, must be told
// which block the addresses mean; the KT400 family needs nothing.
bool SelectPrintedBlock(MainWindow& w, FlashEngine& engine, int block) {
  const SessionRecord& record = *w.Record();
  const int model = record.GetChipModel();
  const bool selects = SharesBlockAddresses(model) || (HasBlock1AtE000(model) && record.IsInternalMode());
  if (!selects) return true;
  if (block == 0 ? engine.SelectBlock0() : engine.SelectBlock1()) return true;
  w.Op().Tell(block == 0 ? "Printing Block0 of KT530/540 failed!" : "Printing Block1 failed!");
  return false;
}

CommandOutcome PrintChosenRange(MainWindow& w) {
  const auto range = ChooseSectorRange(w);
  if (!range) return CommandOutcome::Declined();
  const auto [start, count, sectorSize] = *range;

  FlashEngine engine = w.Engine();
  if (!SelectPrintedBlock(w, engine, start.block)) {
    CommandOutcome outcome =
        CommandOutcome::Failed(start.block == 0 ? "select block 0" : "select block 1", Result::Failed);
    outcome.block = start.block;
    return outcome;
  }
  const std::size_t length = static_cast<std::size_t>(count) * sectorSize;
  return ReportOutcome(w, Print(w, engine, start.address, length, sectorSize), start.address, length, start.block);
}

}  // namespace

CommandOutcome OnPrint(MainWindow& w) {
  if (auto refused = w.RefuseOnEntry(true, true)) return *refused;
  SessionState& state = w.State();
  // The latch tells whether this print's own read failed; an earlier
  // command's failure must not silence its outcome.
  state.operationFailed = false;
  if (state.ExternalBankSelected()) return PrintExternalBank(w);
  SessionRecord& record = *w.Record();
  const int block = record.GetCurrentBlock();
  if (block != 0 && block != 1) {
    w.ReportIllegalBlock();
    return CommandOutcome::Refused(Refusal::IllegalBlock);
  }
  switch (FileLockRuleFor(record, state.securityBits)) {
    case FileLockRule::Refused:
      w.Op().Tell("File Print doesn't work if chip is locked!\n");
      return CommandOutcome::Refused(Refusal::SecurityLock);
    case FileLockRule::Block1Only:
      w.Op().Tell("You can only print files in Block1, since chip is hardlocked.\n");
      break;
    case FileLockRule::Open:
      break;
  }
  state.rangeIncludesBlock1 = true;
  const CommandOutcome outcome = PrintChosenRange(w);
  state.rangeIncludesBlock1 = false;
  return outcome;
}

CommandOutcome PrintExternalBank(MainWindow& w) {
  SessionRecord& record = *w.Record();
  const BankView bank = EnteredBank(w.State().externalLowBankSelected);
  RangeDialog dialog{StartSectorList(record, false, bank), RangeList(record, bank), 0, 0};
  if (!w.Op().ChooseRange(dialog) || !dialog.Valid()) return CommandOutcome::Declined();

  const std::uint32_t address = static_cast<std::uint32_t>(dialog.start) * kBankSectorSize;
  const std::size_t length = static_cast<std::size_t>(BankSectorCount(dialog.start, dialog.range)) * kBankSectorSize;
  w.SelectTab(0);
  FlashEngine engine = w.Engine();
  return ReportOutcome(w, Print(w, engine, address, length, kBankChunk), address, length, -1);
}

}  // namespace brisko
