#include "shell/configuration/double_clock_command.hpp"

#include <thread>

#include "chip/chip_catalogue.hpp"
#include "chip/configuration_sequences.hpp"
#include "link/result_codes.hpp"
#include "shell/configuration/configuration_check.hpp"
#include "shell/session/session.hpp"

namespace brisko {

CommandOutcome OnDoubleClock(Session& session) {
  SessionRecord* record = session.Record();
  if (!record) {
    session.ReportNoChip();
    return CommandOutcome::Refused(Refusal::NoChip);
  }
  if (IsKT400(record->GetChipModel())) {
    session.Op().Tell("KT410/420 doesn't support double clock mode.");
    return CommandOutcome::Refused(Refusal::NotSupported);
  }
  CommandOutcome outcome = CommandOutcome::Declined();
  if (session.Op().Ask("Do you really want to set double clock?")) {
    SerialPort& port = record->Port();
    const std::vector<std::uint8_t> bytes = DoubleClockBytes(record->GetMemoryMode());
    if (bytes.empty()) {
      outcome = CommandOutcome::Refused(Refusal::NotSupported);
    } else if (!WriteEach(port, bytes)) {
      session.Op().Tell("Double clock Failed!");
      outcome = CommandOutcome::Failed("set double clock", Result::Failed);
    } else {
      session.State().linkBusy = true;
      std::this_thread::sleep_for(port.Timing().configPause);
      session.Op().Tell("Double clock Completed!\nChip will be automatically redetected!");
      session.State().doubleClockOn = true;
      session.UpdateDoubleClockPane();
      session.ResetTarget();
      outcome = CommandOutcome::Success("double clock set");
    }
  }
  session.State().linkBusy = false;
  return RedetectAndConfirm(session, outcome, {StatusAspect::DoubleClock, 0x08, "Double clock Failed!", "confirm double clock"});
}

}  // namespace brisko
