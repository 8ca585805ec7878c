#include "shell/flash/range_command.hpp"

#include "shell/session/main_window.hpp"

namespace brisko {

CommandOutcome RunOnSectorRange(MainWindow& w, RangeCommand onChip, RangeCommand onBank) {
  if (auto refused = w.RefuseOnEntry(true, true)) return *refused;
  SessionState& state = w.State();
  if (state.ExternalBankSelected()) return onBank(w);
  const int block = w.Record()->GetCurrentBlock();
  if (block != 0 && block != 1) {
    w.ReportIllegalBlock();
    return CommandOutcome::Refused(Refusal::IllegalBlock);
  }
  state.rangeIncludesBlock1 = true;
  CommandOutcome outcome = onChip(w);
  state.rangeIncludesBlock1 = false;
  return outcome;
}

std::optional<SectorRange> ChooseSectorRange(MainWindow& w) {
  SessionRecord& record = *w.Record();
  RangeDialog dialog{StartSectorList(record, true, BankView::None), RangeList(record, BankView::None), 0, 0};
  if (!w.Op().ChooseRange(dialog) || !dialog.Valid()) return std::nullopt;
  SectorRange range;
  range.start = ResolveStartIndex(record, dialog.start);
  range.count = ResolveSectorCount(record, range.start, dialog.range);
  range.sectorSize = record.SectorSize(range.start.block);
  w.SelectTab(range.start.block);
  return range;
}

}  // namespace brisko
