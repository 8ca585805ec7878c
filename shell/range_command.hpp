#pragma once
#include "shell/command_outcome.hpp"

namespace brisko {

class MainWindow;

using RangeCommand = CommandOutcome (*)(MainWindow&);

// What the sector-range commands (Read, Sector Erase) share around their own
// work: the entry checks, then `onBank` while an external bank is entered,
// else the block check and `onChip` with the range dialog offering both
// blocks (rangeIncludesBlock1 set for its duration).
CommandOutcome RunOnSectorRange(MainWindow& w, RangeCommand onChip, RangeCommand onBank);

}  // namespace brisko
