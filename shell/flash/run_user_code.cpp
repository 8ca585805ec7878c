#include "shell/flash/run_user_code.hpp"

#include "link/command_primitives.hpp"
#include "link/result_codes.hpp"
#include "shell/session/session.hpp"

namespace brisko {

namespace {

CommandOutcome Execute(Session& session, bool fromExternalFlash) {
  SessionRecord* record = session.Record();
  if (!record) {
    session.ReportNoChip();
    return CommandOutcome::Refused(Refusal::NoChip);
  }
  if (record->GetMemoryMode() != kInternalMemory) {
    session.Op().Tell("Run User Code only works in internal memory mode!");
    return CommandOutcome::Refused(Refusal::NotSupported);
  }
  session.Window().ClearStatusText();
  SessionState& state = session.State();
  if (state.userCodeStarted) {
    session.ReportNoChip();
    return CommandOutcome::Refused(Refusal::NoChip);
  }
  SerialPort& port = record->Port();
  bool sent = true;
  if (state.ExternalBankSelected() || fromExternalFlash) {
    session.ResetTarget();
    port.SetLinesForExternalMode();
  } else {
    sent = SendRunUserCode(port);
  }
  state.userCodeStarted = true;
  session.Window().ResetChipInfo();
  port.ClearLinkUp();
  port.PurgeInput();
  // The program runs only once 62h 62h have reached the chip.
  if (!port.PurgeOutput() || !sent) return CommandOutcome::Failed("start the user's program", Result::Failed);
  return CommandOutcome::Success("started the user's program");
}

}  // namespace

CommandOutcome ExecuteUserCode(Session& session) { return Execute(session, false); }
CommandOutcome ExecuteUserCodeInExternalFlash(Session& session) { return Execute(session, true); }

}  // namespace brisko
