#pragma once
#include <string>

#include "shell/session/command_outcome.hpp"

namespace brisko {

class Session;

// "&Edit data in Block 0": the entry checks, then the byte-edit dialog.
// Display Data and Replace Data run here, on the command thread, each time
// the operator presses their button; the outcome is that of the last one
// (Declined when the dialog was closed without either). Replace Data keeps
// the sectors it erases in a recovery file until they hold the new bytes.
CommandOutcome OnEditBlock0(Session& session);

}  // namespace brisko
