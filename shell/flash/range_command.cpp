#include "shell/flash/range_command.hpp"

#include "shell/session/session.hpp"

namespace brisko {

CommandOutcome RunOnSectorRange(Session& session, RangeCommand onChip, RangeCommand onBank) {
  if (auto refused = session.RefuseOnEntry(true, true)) return *refused;
  SessionState& state = session.State();
  if (state.ExternalBankSelected()) return onBank(session);
  const int block = session.Record()->GetCurrentBlock();
  if (block != 0 && block != 1) {
    session.ReportIllegalBlock();
    return CommandOutcome::Refused(Refusal::IllegalBlock);
  }
  state.rangeIncludesBlock1 = true;
  CommandOutcome outcome = onChip(session);
  state.rangeIncludesBlock1 = false;
  return outcome;
}

std::optional<SectorRange> ChooseSectorRange(Session& session) {
  SessionRecord& record = *session.Record();
  RangeDialog dialog{StartSectorList(record, true, BankView::None), RangeList(record, BankView::None), 0, 0};
  if (!session.Op().ChooseRange(dialog) || !dialog.Valid()) return std::nullopt;
  SectorRange range;
  range.start = ResolveStartIndex(record, dialog.start);
  range.count = ResolveSectorCount(record, range.start, dialog.range);
  range.sectorSize = record.SectorSize(range.start.block);
  session.SelectTab(range.start.block);
  return range;
}

}  // namespace brisko
