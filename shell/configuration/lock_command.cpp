#include "shell/configuration/lock_command.hpp"

#include "chip/configuration_sequences.hpp"
#include "link/result_codes.hpp"
#include "shell/configuration/configuration_check.hpp"
#include "shell/configuration/configuration_menus.hpp"
#include "shell/detection/detect_command.hpp"
#include "shell/session/session.hpp"

namespace brisko {
namespace {

constexpr const char* kProceed = "Do you really want to proceed?";

// Runs the chosen sequence; the outcome before the re-detection.
CommandOutcome Lock(Session& session, int model, int lockOption, std::uint8_t securityBits) {
  SessionRecord& record = *session.Record();
  SessionState& state = session.State();
  const LockSequence sequence = LockSequenceFor(model, record.GetMemoryMode());
  const std::uint8_t wanted = securityBits | LockOptionBits(sequence, lockOption);
  const bool level4 = LockOptionBits(sequence, lockOption) != 0 && IsLevel4(sequence, wanted);
  SerialPort& port = record.Port();
  if (ProgramLockBits(port, session.Op(), port.Timing(), sequence, lockOption, securityBits) != Result::Ok) {
    session.Op().Tell("Set Lock Failed!");
    return CommandOutcome::Failed("program security bits", Result::Failed);
  }
  state.linkBusy = true;
  session.Op().Tell("Set Lock Completed!\nChip will be automatically redetected!");
  session.ResetTarget();
  // A level-4 combination is refused on the host: the chip kept its bits.
  if (level4) return CommandOutcome::Refused(Refusal::SecurityLock);
  return CommandOutcome::Success("locked");
}

}  // namespace

CommandOutcome OnLockChip(Session& session) {
  if (auto refused = session.RefuseOnEntry(true, false)) return *refused;
  SessionRecord* record = session.Record();
  const int model = record->GetChipModel();
  const std::uint8_t securityBits = record->securityCopy;
  CommandOutcome outcome = CommandOutcome::Refused(Refusal::NotSupported);
  LockMenu menu = LockMenuFor(model);
  if (!menu.options.empty()) {
    if (!session.Op().ChooseLockOption(menu) || !session.Op().Ask(kProceed))
      outcome = CommandOutcome::Declined();
    else
      outcome = Lock(session, model, menu.lockOption, securityBits);
  }
  session.State().linkBusy = false;
  const LockSequence sequence = LockSequenceFor(model, record->GetMemoryMode());
  return RedetectAndConfirm(session, outcome,
                            {StatusAspect::Security, LockOptionBits(sequence, menu.lockOption), "Set Lock Failed!",
                             "confirm the lock"});
}

}  // namespace brisko
