#include "shell/run_user_code.hpp"

#include "link/command_primitives.hpp"
#include "shell/main_window.hpp"

namespace brisko {

namespace {

CommandOutcome Execute(MainWindow& w, bool fromExternalFlash) {
  SessionRecord* record = w.Record();
  if (!record) {
    w.ReportNoChip();
    return CommandOutcome::Refused(Refusal::NoChip);
  }
  if (record->GetMemoryMode() != kInternalMemory) {
    w.Op().Tell("Run User Code only works in internal memory mode!");
    return CommandOutcome::Refused(Refusal::NotSupported);
  }
  w.ClearStatusText();
  SessionState& state = w.State();
  if (state.userCodeStarted) {
    w.ReportNoChip();
    return CommandOutcome::Refused(Refusal::NoChip);
  }
  SerialPort& port = record->Port();
  if (state.ExternalBankSelected() || fromExternalFlash) {
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
  return CommandOutcome::Success("started the user's program");
}

}  // namespace

CommandOutcome ExecuteUserCode(MainWindow& w) { return Execute(w, false); }
CommandOutcome ExecuteUserCodeInExternalFlash(MainWindow& w) { return Execute(w, true); }

}  // namespace brisko
