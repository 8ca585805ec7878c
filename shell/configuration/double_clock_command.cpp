#include "shell/configuration/double_clock_command.hpp"

#include <thread>

#include "chip/chip_catalogue.hpp"
#include "chip/configuration_sequences.hpp"
#include "link/result_codes.hpp"
#include "shell/configuration/configuration_check.hpp"
#include "shell/session/main_window.hpp"

namespace brisko {

CommandOutcome OnDoubleClock(MainWindow& w) {
  SessionRecord* record = w.Record();
  if (!record) {
    w.ReportNoChip();
    return CommandOutcome::Refused(Refusal::NoChip);
  }
  if (IsKT400(record->GetChipModel())) {
    w.Op().Tell("KT410/420 doesn't support double clock mode.");
    return CommandOutcome::Refused(Refusal::NotSupported);
  }
  CommandOutcome outcome = CommandOutcome::Declined();
  if (w.Op().Ask("Do you really want to set double clock?")) {
    SerialPort& port = record->Port();
    const std::vector<std::uint8_t> bytes = DoubleClockBytes(record->GetMemoryMode());
    if (bytes.empty()) {
      outcome = CommandOutcome::Refused(Refusal::NotSupported);
    } else if (!WriteEach(port, bytes)) {
      w.Op().Tell("Double clock Failed!");
      outcome = CommandOutcome::Failed("set double clock", Result::Failed);
    } else {
      w.State().linkBusy = true;
      std::this_thread::sleep_for(port.Timing().configPause);
      w.Op().Tell("Double clock Completed!\nChip will be automatically redetected!");
      w.State().doubleClockOn = true;
      w.UpdateDoubleClockPane();
      w.ResetTarget();
      outcome = CommandOutcome::Success("double clock set");
    }
  }
  w.State().linkBusy = false;
  return RedetectAndConfirm(w, outcome, {StatusAspect::DoubleClock, 0x08, "Double clock Failed!", "confirm double clock"});
}

}  // namespace brisko
