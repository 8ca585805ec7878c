#include "shell/flash/run_user_code.hpp"

#include "link/command_primitives.hpp"
#include "link/result_codes.hpp"
#include "shell/session/main_window.hpp"

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
  bool sent = true;
  if (state.ExternalBankSelected() || fromExternalFlash) {
    w.ResetTarget();
    port.SetLinesForExternalMode();
  } else {
    sent = SendRunUserCode(port);
  }
  state.userCodeStarted = true;
  w.ResetChipInfo();
  port.ClearLinkUp();
  port.PurgeInput();
  // The program runs only once 62h 62h have reached the chip.
  if (!port.PurgeOutput() || !sent) return CommandOutcome::Failed("start the user's program", Result::Failed);
  return CommandOutcome::Success("started the user's program");
}

}  // namespace

CommandOutcome ExecuteUserCode(MainWindow& w) { return Execute(w, false); }
CommandOutcome ExecuteUserCodeInExternalFlash(MainWindow& w) { return Execute(w, true); }

}  // namespace brisko
