#include "gui/view_commands.hpp"

#include "shell/session/session.hpp"
#include "shell/session/memory_views.hpp"

namespace brisko::gui {

CommandOutcome OnTabSwitch(Session& session, int tab) {
  const int block = tab == 1 ? 1 : 0;
  session.SelectTab(block);
  if (session.State().ExternalBankSelected()) {
    session.Op().Tell("External data");
    FillExternalSectorTable(session, -1, -1);
    ShowExternalSectorDump(session, 0);
  } else {
    session.Op().Tell("Internal Data");
    FillSectorTable(session, block, -1, -1);
    ShowSectorDump(session, block, 0);
  }
  return CommandOutcome::Success();
}

CommandOutcome OnViewClick(Session& session, int row) {
  SessionRecord* record = session.Record();
  if (!record) return CommandOutcome::Refused(Refusal::NoChip);
  const int block = record->GetCurrentBlock();
  if (block != 0 && block != 1) {
    session.ReportIllegalBlock();
    return CommandOutcome::Refused(Refusal::IllegalBlock);
  }
  if (session.State().ExternalBankSelected())
    ShowExternalSectorDump(session, row);
  else
    ShowSectorDump(session, block, row);
  return CommandOutcome::Success();
}

}  // namespace brisko::gui
