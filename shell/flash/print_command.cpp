#include "shell/flash/print_command.hpp"

#include "image/print_range.hpp"
#include "link/result_codes.hpp"
#include "shell/flash/block_selection.hpp"
#include "shell/flash/dialog_lists.hpp"
#include "shell/flash/file_lock_rule.hpp"
#include "shell/flash/range_command.hpp"
#include "shell/session/session.hpp"

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
CommandOutcome ReportOutcome(Operator& op, const SessionState& state, const Printed& printed, std::uint32_t address,
                             std::size_t length, int block) {
  const Result result = printed.result;
  if (result == Result::Cancelled) return CommandOutcome::Cancelled("read");
  if (!state.operationFailed) {
    const bool told = result == Result::Failed && !printed.whyNot.empty();
    op.Tell(result == Result::Ok ? kPrinted : told ? kPrintFailed + ("\n" + printed.whyNot) : kPrintFailed);
  }
  if (result != Result::Ok) return CommandOutcome::Failed(result == Result::Failed ? "print" : "read", result);
  CommandOutcome outcome = CommandOutcome::Success("printed");
  outcome.address = address;
  outcome.bytes = length;
  outcome.block = block;
  return outcome;
}

Printed Print(Session& session, FlashEngine& engine, std::uint32_t address, std::size_t length, std::uint32_t chunk) {
  FileRoutineContext ctx{*session.Record(), session.State(), engine, session.Op()};
  Printed printed{Result::Ok, ""};
  printed.result = PrintRange(ctx, address, length, chunk, [&session, &printed](const std::string& listing) {
    return session.Op().PrintListing(listing, printed.whyNot);
  });
  return printed;
}

CommandOutcome PrintChosenRange(Session& session) {
  const auto range = ChooseSectorRange(session);
  if (!range) return CommandOutcome::Declined();
  const auto [start, count, sectorSize] = *range;

  FlashEngine engine = session.Engine();
  if (!SelectBlockOrTell(*session.Record(), engine, session.Op(), start.block, "Printing Block0 of KT530/540 failed!",
                         "Printing Block1 failed!")) {
    CommandOutcome outcome =
        CommandOutcome::Failed(start.block == 0 ? "select block 0" : "select block 1", Result::Failed);
    outcome.block = start.block;
    return outcome;
  }
  const std::size_t length = static_cast<std::size_t>(count) * sectorSize;
  return ReportOutcome(session.Op(), session.State(), Print(session, engine, start.address, length, sectorSize),
                       start.address, length, start.block);
}

}  // namespace

CommandOutcome OnPrint(Session& session) {
  if (auto refused = session.RefuseOnEntry(true, true)) return *refused;
  SessionState& state = session.State();
  // The latch tells whether this print's own read failed; an earlier
  // command's failure must not silence its outcome.
  state.operationFailed = false;
  if (state.ExternalBankSelected()) return PrintExternalBank(session);
  SessionRecord& record = *session.Record();
  const int block = record.GetCurrentBlock();
  if (block != 0 && block != 1) {
    session.ReportIllegalBlock();
    return CommandOutcome::Refused(Refusal::IllegalBlock);
  }
  switch (FileLockRuleFor(record, state.securityBits)) {
    case FileLockRule::Refused:
      session.Op().Tell("File Print doesn't work if chip is locked!\n");
      return CommandOutcome::Refused(Refusal::SecurityLock);
    case FileLockRule::Block1Only:
      session.Op().Tell("You can only print files in Block1, since chip is hardlocked.\n");
      break;
    case FileLockRule::Open:
      break;
  }
  state.rangeIncludesBlock1 = true;
  const CommandOutcome outcome = PrintChosenRange(session);
  state.rangeIncludesBlock1 = false;
  return outcome;
}

CommandOutcome PrintExternalBank(Session& session) {
  SessionRecord& record = *session.Record();
  const BankView bank = EnteredBank(session.State().externalLowBankSelected);
  RangeDialog dialog{StartSectorList(record, false, bank), RangeList(record, bank), 0, 0};
  if (!session.Op().ChooseRange(dialog) || !dialog.Valid()) return CommandOutcome::Declined();

  const std::uint32_t address = static_cast<std::uint32_t>(dialog.start) * kBankSectorSize;
  const std::size_t length = static_cast<std::size_t>(BankSectorCount(dialog.start, dialog.range)) * kBankSectorSize;
  session.SelectTab(0);
  FlashEngine engine = session.Engine();
  return ReportOutcome(session.Op(), session.State(), Print(session, engine, address, length, kBankChunk), address,
                       length, -1);
}

}  // namespace brisko
