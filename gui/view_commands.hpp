#pragma once
#include "shell/session/command_outcome.hpp"

namespace brisko {
class Session;
}

namespace brisko::gui {

// The Block 0 / Block 1 tab was switched: the current block follows it, the
// operator is told which flash the views show, and the views are refilled
// from the host's copy with no read range.
CommandOutcome OnTabSwitch(Session& session, int tab);

// A click on row `row` of either memory view shows sector `row` in the dump.
CommandOutcome OnViewClick(Session& session, int row);

}  // namespace brisko::gui
