#pragma once
#include "shell/session/command_outcome.hpp"

namespace brisko {

class Session;

// "Lock Chip": the family's lock menu, a question, the security bits
// programmed, and a new detection that reads them back (after Cancel, No or
// a failure too; it then returns at once because the link is still up). It
// has succeeded only when the chip shows the option's bits.
CommandOutcome OnLockChip(Session& session);

}  // namespace brisko
