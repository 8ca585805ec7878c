#include "gui/view_commands.hpp"

#include "shell/session/main_window.hpp"
#include "shell/session/memory_views.hpp"

namespace brisko::gui {

CommandOutcome OnTabSwitch(MainWindow& w, int tab) {
  const int block = tab == 1 ? 1 : 0;
  w.SelectTab(block);
  if (w.State().ExternalBankSelected()) {
    w.Op().Tell("External data");
    FillExternalSectorTable(w, -1, -1);
    ShowExternalSectorDump(w, 0);
  } else {
    w.Op().Tell("Internal Data");
    FillSectorTable(w, block, -1, -1);
    ShowSectorDump(w, block, 0);
  }
  return CommandOutcome::Success();
}

CommandOutcome OnViewClick(MainWindow& w, int row) {
  SessionRecord* record = w.Record();
  if (!record) return CommandOutcome::Refused(Refusal::NoChip);
  const int block = record->GetCurrentBlock();
  if (block != 0 && block != 1) {
    w.ReportIllegalBlock();
    return CommandOutcome::Refused(Refusal::IllegalBlock);
  }
  if (w.State().ExternalBankSelected())
    ShowExternalSectorDump(w, row);
  else
    ShowSectorDump(w, block, row);
  return CommandOutcome::Success();
}

}  // namespace brisko::gui
