#pragma once
#include <cstdint>
#include <string>

#include "shell/session/command_outcome.hpp"

namespace brisko {

class Session;

// Which part of the status byte a configuration command changes.
enum class StatusAspect { Security, Remap, DoubleClock };

// What a configuration command asked the chip to take: status bits that the
// next detection must show set, and the command's failure text.
struct AskedStatus {
  StatusAspect aspect;
  std::uint8_t bits;        // within the aspect's field of the status byte
  std::string failedText;   // "Set Lock Failed!"
  std::string step;         // "confirm the lock"
};

// The loader answers none of the configuration sequences: the command is done
// only when the chip, detected again, shows the change. Runs the
// re-detection; a command that did not get as far as sending (declined,
// refused, failed) keeps its outcome, one whose chip was not found again
// ends as the detection did, and one whose chip shows other bits fails,
// telling what the chip shows.
CommandOutcome RedetectAndConfirm(Session& session, const CommandOutcome& sent, const AskedStatus& asked);

}  // namespace brisko
