#pragma once
#include <QString>

#include "shell/session/command_outcome.hpp"

namespace brisko::gui {

// One line on how a command ended, for the log and, after a cancel, the
// "IAP Status:" line: what was done, or where it stopped and what it still
// completed. `command` names it as the operator started it.
//   "Read: read 512 bytes, block 0 at 0000h, not verified"
//   "Download: cancelled during step \"program\" (completed: block 0 put back)"
QString OutcomeText(const QString& command, const CommandOutcome& outcome);

}  // namespace brisko::gui
