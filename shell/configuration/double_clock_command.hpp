#pragma once
#include "shell/session/command_outcome.hpp"

namespace brisko {

class Session;

// The 2xCLK tool-bar button: puts a KT500 chip into double-clock mode and
// re-detects (after No as well); it has succeeded only when the chip then
// shows double clock.
CommandOutcome OnDoubleClock(Session& session);

}  // namespace brisko
