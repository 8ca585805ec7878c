#pragma once
#include "shell/session/command_outcome.hpp"

namespace brisko {

class Session;

// "Sector Erase": a range of sectors of one block, or of the selected
// external bank (EraseExternalBankSectors). Block 1 in internal memory mode
// is erased through the programmer parked in block 0, never the sectors that
// hold the loader.
CommandOutcome OnSectorErase(Session& session);
CommandOutcome EraseExternalBankSectors(Session& session);

// "Chip Erase": after a Yes, the whole chip (or the external flash); ends
// with a new detection whatever the answer.
CommandOutcome OnChipErase(Session& session);

}  // namespace brisko
