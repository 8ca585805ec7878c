#pragma once
#include <vector>

#include "sim/command_step.hpp"

namespace brisko::sim {

// The external flash of the demonstration board (KF010, two 64 KB banks):
// 66h 66h b enters a bank; while one is entered, 01h 01h leaves it, 04h
// frames erase a 4 KB sector, 06h frames program, 03h frames read and
// 02h 02h erases the whole device. In external memory mode 03h frames read
// external memory as well.
//
// Not modelled yet: the forms that need no entered bank are taken off the
// line whole (so their bytes cannot pass for other commands) and answered
// with nothing; a bank is never entered.

// True when the bytes in `state.pending` begin an external-flash command.
bool ExternalBankStarts(const SimChipState& state);
CommandStep ExternalBankStep(SimChipState& state, std::vector<SimReply>& out);
// 03h (address, count) in external memory mode.
void ExternalMemoryRead(SimChipState& state, std::vector<SimReply>& out);

}  // namespace brisko::sim
