#pragma once
#include <vector>

#include "sim/command_step.hpp"

namespace brisko::sim {

// The loader's way to the board's external flash (KF010). 66h 66h b enters
// the flash (b, the host's block number, is 0 or 1; which 64 KB half answers
// is the board's A16 switch, not b). While it is entered the loader's command
// set changes: 04h frames erase 4 KB sectors (answer C0h), 06h frames
// program, 03h frames read, 02h 02h erases the whole device (answer C0h), and
// 01h 01h returns to the chip's own flash. The chip's own flash frames (0Bh,
// 0Ch, 0Eh) are taken whole and unanswered; the other commands (60h, 63h ...)
// keep their meaning. 01h 01h outside the external flash is a return that has
// nothing to do, never the start of a chip-erase frame (whose address byte is
// 00h). In external memory mode 03h frames read the external flash as the
// chip's program memory.

// True when the bytes in `state.pending` begin an external-flash command.
bool ExternalBankStarts(const SimChipState& state);
CommandStep ExternalBankStep(SimChipState& state, std::vector<SimReply>& out);
// 03h (address, count) in external memory mode.
void ExternalMemoryRead(SimChipState& state, std::vector<SimReply>& out);

}  // namespace brisko::sim
