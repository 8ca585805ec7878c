#include "shell/flash/read_command.hpp"

#include "link/result_codes.hpp"

#include "shell/flash/dialog_lists.hpp"
#include "shell/session/session.hpp"
#include "shell/session/memory_views.hpp"
#include "shell/flash/range_command.hpp"

namespace brisko {
namespace {


// Lets the loader show the block about to be read; false (told) when it
// would not.
bool MakeReadable(const SessionRecord& record, FlashEngine& engine, Operator& op, int block) {
  const int model = record.GetChipModel();
  const bool internal = record.IsInternalMode();
  if (block == 0) {
    const bool selects = model == kKT530 || model == kKT540 || model == kKT550 || model == kKT560 ||
                         ((model == kKT570 || model == kKT580) && internal);
    if (selects && !engine.SelectBlock0()) {
      op.Tell("Reading Block0 of KT530/540 failed!");
      return false;
    }
    return true;
  }
  if (HasBlock1AtE000(model) && internal && !engine.SelectBlock1()) {
    op.Tell("Reading Block1 failed!");
    return false;
  }
  if (SharesBlockAddresses(model) && !engine.SelectBlock1()) {
    op.Tell("Reading Block1 of KT540 failed!");
    return false;
  }
  return true;
}

// A read that came to its end counts as done even if a cancel arrived late.
CommandOutcome ReadOutcome(SessionState& state, Result result, std::size_t length, std::uint32_t address, int block) {
  if (result != Result::Ok) {
    if (result != Result::Cancelled) state.operationFailed = true;
    return CommandOutcome::Stopped("read", result);
  }
  CommandOutcome done = CommandOutcome::Success("read");
  done.bytes = length;
  done.address = address;
  done.block = block;
  return done;
}

// The range dialog, block selection, read and views, with
// rangeIncludesBlock1 set by the caller.
CommandOutcome ReadChosenRange(Session& session) {
  SessionRecord& record = *session.Record();
  const auto range = ChooseSectorRange(session);
  if (!range) return CommandOutcome::Declined();
  const StartChoice start = range->start;
  const std::uint32_t count = range->count;

  FlashEngine engine = session.Engine();
  if (!MakeReadable(record, engine, session.Op(), start.block))
    return CommandOutcome::Failed("select the block", Result::Failed);

  const std::uint32_t sectorSize = record.SectorSize(start.block);
  const std::uint32_t offset = start.address - record.BaseAddress(start.block);
  const std::size_t length = static_cast<std::size_t>(count) * sectorSize;
  FlashImage& image = record.BlockImage(start.block);
  image.Fill();
  const Result result = offset + length > image.Size()
                            ? Result::NoReply
                            : engine.ReadRange(image.Data() + offset, start.address, length, sectorSize);

  ShowReadRange(session, start.block, static_cast<int>(offset / sectorSize), static_cast<int>(count));
  session.Window().ClearStatusText();
  return ReadOutcome(session.State(), result, length, start.address, start.block);
}

}  // namespace

CommandOutcome OnRead(Session& session) { return RunOnSectorRange(session, ReadChosenRange, ReadExternalBank); }

CommandOutcome ReadExternalBank(Session& session) {
  SessionRecord& record = *session.Record();
  SessionState& state = session.State();
  const BankView bank = EnteredBank(state.externalLowBankSelected);
  RangeDialog dialog{StartSectorList(record, false, bank), RangeList(record, bank), 0, 0};
  if (!session.Op().ChooseRange(dialog) || !dialog.Valid()) return CommandOutcome::Declined();

  const auto first = static_cast<std::uint32_t>(dialog.start);
  const std::uint32_t count = BankSectorCount(dialog.start, dialog.range);
  const std::uint32_t address = first * kBankSectorSize;
  session.SelectTab(0);

  FlashImage& image = record.ExternalBankImage();
  image.Fill();
  const std::size_t length = static_cast<std::size_t>(count) * kBankSectorSize;
  FlashEngine engine = session.Engine();
  const Result result = address + length > image.Size()
                            ? Result::NoReply
                            : engine.ReadRange(image.Data() + address, address, length, kBankChunk);

  ShowExternalReadRange(session, static_cast<int>(first), static_cast<int>(count));
  return ReadOutcome(session.State(), result, length, address, -1);
}

}  // namespace brisko
