#include "shell/flash/save_command.hpp"

#include "image/save_to_file.hpp"
#include "link/result_codes.hpp"
#include "shell/flash/block_selection.hpp"
#include "shell/flash/dialog_lists.hpp"
#include "shell/flash/file_lock_rule.hpp"
#include "shell/session/session.hpp"

namespace brisko {
namespace {


// A cancelled save left the file as it was and failed nothing: it tells
// nothing.
CommandOutcome ReportOutcome(Operator& op, const SessionState& state, Result result, const SaveDialog& dialog,
                             std::size_t length, std::uint32_t address, int block) {
  if (result == Result::Cancelled) return CommandOutcome::Cancelled("read");
  if (!state.operationFailed) op.Tell(result == Result::Ok ? "Save data has completed" : "Save data failed");
  if (result != Result::Ok) return CommandOutcome::Failed("read and write the file", result);
  CommandOutcome done = CommandOutcome::Success(std::string("saved ") + (dialog.textMode ? "as text to " : "to ") +
                                                dialog.path);
  done.bytes = length;
  done.address = address;
  done.block = block;
  return done;
}

// Warns or refuses by the chip's lock state; false when the save may not run.
bool PassesLockRules(const SessionRecord& record, std::uint8_t securityBits, Operator& op) {
  switch (FileLockRuleFor(record, securityBits)) {
    case FileLockRule::Open: return true;
    case FileLockRule::Block1Only:
      op.Tell("You can only save files in Block1, since chip is hardlocked.\n");
      return true;
    case FileLockRule::Refused:
      op.Tell("File Save doesn't work if chip is locked!\n");
      return false;
  }
  return false;
}

}  // namespace

CommandOutcome OnSave(Session& session) {
  SessionRecord* record = session.Record();
  if (!record || session.State().userCodeStarted) {
    session.ReportNoChip();
    return CommandOutcome::Refused(Refusal::NoChip);
  }
  // The latch tells whether this save's own read failed; an earlier
  // command's failure must not silence its outcome.
  session.State().operationFailed = false;
  if (session.State().ExternalBankSelected()) return SaveExternalBank(session);
  session.Window().ClearStatusText();
  record->applyGeometry();
  if (!PassesLockRules(*record, session.State().securityBits, session.Op()))
    return CommandOutcome::Refused(Refusal::SecurityLock);

  SaveDialog dialog{StartSectorList(*record, true, BankView::None), RangeList(*record, BankView::None), "", 0, 0,
                    true};
  if (!session.Op().ChooseSave(dialog) || !dialog.Valid()) return CommandOutcome::Declined();

  const StartChoice start = ResolveStartIndex(*record, dialog.start);
  const std::uint32_t count = ResolveSectorCount(*record, start, dialog.range);
  const std::uint32_t sectorSize = record->SectorSize(start.block);
  session.SelectTab(start.block);

  FlashEngine engine = session.Engine();
  if (!SelectBlockOrTell(*record, engine, session.Op(), start.block, "Saving Block0 data failed!",
                         "Saving Block1 data failed!"))
    return CommandOutcome::Failed("select the block", Result::Failed);
  FileRoutineContext ctx{*record, session.State(), engine, session.Op()};
  const std::size_t length = static_cast<std::size_t>(count) * sectorSize;
  return ReportOutcome(session.Op(), session.State(),
                       SaveToFile(ctx, dialog.path, start.address, length, sectorSize, dialog.textMode), dialog, length,
                       start.address, start.block);
}

CommandOutcome SaveExternalBank(Session& session) {
  SessionRecord& record = *session.Record();
  session.Window().ClearStatusText();
  const BankView bank = EnteredBank(session.State().externalLowBankSelected);
  SaveDialog dialog{StartSectorList(record, false, bank), RangeList(record, bank), "", 0, 0, true};
  if (!session.Op().ChooseSave(dialog) || !dialog.Valid()) return CommandOutcome::Declined();

  const auto first = static_cast<std::uint32_t>(dialog.start);
  const std::uint32_t count = BankSectorCount(dialog.start, dialog.range);

  FlashEngine engine = session.Engine();
  FileRoutineContext ctx{record, session.State(), engine, session.Op()};
  const std::size_t length = static_cast<std::size_t>(count) * kBankSectorSize;
  return ReportOutcome(session.Op(), session.State(),
                       SaveToFile(ctx, dialog.path, first * kBankSectorSize, length, kBankChunk, dialog.textMode),
                       dialog, length, first * kBankSectorSize, -1);
}

}  // namespace brisko
