#include "shell/configuration/lock_command.hpp"

#include "chip/configuration_sequences.hpp"
#include "link/result_codes.hpp"
#include "shell/configuration/configuration_check.hpp"
#include "shell/configuration/configuration_menus.hpp"
#include "shell/detection/detect_command.hpp"
#include "shell/session/main_window.hpp"

namespace brisko {
namespace {

constexpr const char* kProceed = "Do you really want to proceed?";

// Runs the chosen sequence; the outcome before the re-detection.
CommandOutcome Lock(MainWindow& w, int model, int lockOption, std::uint8_t securityBits) {
  SessionRecord& record = *w.Record();
  SessionState& state = w.State();
  const LockSequence sequence = LockSequenceFor(model, record.GetMemoryMode());
  const std::uint8_t wanted = securityBits | LockOptionBits(sequence, lockOption);
  const bool level4 = LockOptionBits(sequence, lockOption) != 0 && IsLevel4(sequence, wanted);
  SerialPort& port = record.Port();
  if (ProgramLockBits(port, w.Op(), port.Timing(), sequence, lockOption, securityBits) != Result::Ok) {
    w.Op().Tell("Set Lock Failed!");
    return CommandOutcome::Failed("program security bits", Result::Failed);
  }
  state.linkBusy = true;
  w.Op().Tell("Set Lock Completed!\nChip will be automatically redetected!");
  w.ResetTarget();
  // A level-4 combination is refused on the host: the chip kept its bits.
  if (level4) return CommandOutcome::Refused(Refusal::SecurityLock);
  return CommandOutcome::Success("locked");
}

}  // namespace

CommandOutcome OnLockChip(MainWindow& w) {
  if (auto refused = w.RefuseOnEntry(true, false)) return *refused;
  SessionRecord* record = w.Record();
  const int model = record->GetChipModel();
  const std::uint8_t securityBits = record->securityCopy;
  CommandOutcome outcome = CommandOutcome::Refused(Refusal::NotSupported);
  LockMenu menu = LockMenuFor(model);
  if (!menu.options.empty()) {
    if (!w.Op().ChooseLockOption(menu) || !w.Op().Ask(kProceed))
      outcome = CommandOutcome::Declined();
    else
      outcome = Lock(w, model, menu.lockOption, securityBits);
  }
  w.State().linkBusy = false;
  const LockSequence sequence = LockSequenceFor(model, record->GetMemoryMode());
  return RedetectAndConfirm(w, outcome,
                            {StatusAspect::Security, LockOptionBits(sequence, menu.lockOption), "Set Lock Failed!",
                             "confirm the lock"});
}

}  // namespace brisko
