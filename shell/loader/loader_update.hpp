#pragma once
#include "shell/session/command_outcome.hpp"

namespace brisko {

class Session;

// Menu "&Upgrade Internal BSL1.1F+ to Newer Version": the Download command
// asks for the new loader file and its block-1 sector and checks them, then
// parks the block-1 programmer in block 0, hands the chip over to it and
// writes the file into block 1. The programmer stays until the new loader
// takes over at the next reset; the block-0 bytes it displaced wait in a
// recovery file for the next detection. Nothing is erased before the file
// and sector are known good and the displaced bytes are kept.
CommandOutcome OnUpdateInternalLoader(Session& session);

// Menu "Upgrade External BSL Firmware to Newer Version": the embedded loader
// for external memory mode into the first sector of the entered low bank.
CommandOutcome OnUpdateExternalLoader(Session& session);

}  // namespace brisko
