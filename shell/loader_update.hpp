#pragma once
#include "shell/command_outcome.hpp"

namespace brisko {

class MainWindow;

// Menu "&Upgrade Internal BSL1.1F+ to Newer Version": parks the block-1
// programmer in block 0, hands the chip over to it and lets the Download
// command write the new loader file into block 1. Stops before anything is
// erased when the block-0 areas the programmer displaces cannot be kept.
CommandOutcome OnUpdateInternalLoader(MainWindow& w);

// Menu "Upgrade External BSL Firmware to Newer Version": the embedded loader
// for external memory mode into the first sector of the entered low bank.
CommandOutcome OnUpdateExternalLoader(MainWindow& w);

}  // namespace brisko
