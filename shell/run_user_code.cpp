#include "shell/run_user_code.hpp"

#include "link/command_primitives.hpp"
#include "shell/main_window.hpp"

namespace brisko {

void ExecuteUserCode(MainWindow& w) {
  SessionRecord* record = w.Record();
  if (!record) {
    w.ReportNoChip();
    return;
  }
  if (record->GetMemoryMode() != kInternalMemory) {
    w.Op().Tell("Run User Code only works in internal memory mode!");
    return;
  }
  w.ClearStatusText();
  SessionState& state = w.State();
  if (state.userCodeStarted) {
    w.ReportNoChip();
    return;
  }
  SerialPort& port = record->Port();
  if (state.ExternalBankSelected()) {
    w.ResetTarget();
    port.SetLinesForExternalMode();
  } else {
    SendRunUserCode(port);
  }
  state.userCodeStarted = true;
  w.ResetChipInfo();
  port.ClearLinkUp();
  port.PurgeInput();
  port.PurgeOutput();
}

}  // namespace brisko
