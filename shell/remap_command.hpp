#pragma once
#include "shell/command_outcome.hpp"

namespace brisko {

class MainWindow;

// "Memory Remap": RB0/RB1 on the KT400 family, SC0/SC1 on the KT500 family.
// Re-detects after a Yes, except where the new configuration leaves the
// chip's loader out of reach in internal memory mode.
CommandOutcome OnMemoryRemap(MainWindow& w);

}  // namespace brisko
