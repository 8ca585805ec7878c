#pragma once
#include "shell/session/command_outcome.hpp"

namespace brisko {

class Session;

// "Memory Remap": RB0/RB1 on the KT400 family, SC0/SC1 on the KT500 family.
// Re-detects after a Yes, except where the new configuration leaves the
// chip's loader out of reach in internal memory mode; where it re-detects it
// has succeeded only when the chip shows the remap or configuration bit.
CommandOutcome OnMemoryRemap(Session& session);

}  // namespace brisko
