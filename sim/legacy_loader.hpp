#pragma once
#include <vector>

#include "sim/sim_chip_state.hpp"

namespace brisko::sim {

// Loader 1.1E of the KT400 family. It has no baud detection: after a reset,
// and whenever it waits for a command, it prompts with F7h. Its commands, each
// answering one prompt:
//   05h 55h          the status byte
//   0Bh a a 01h      erase a block-0 sector; C0h
//   0Ch a a n        n bytes of block 0
//   0Eh a a n + n    program block 0; no answer
//   60h              chip code (E4h KT410, E2h KT420), 11h, 'E'
//   61h              nothing to do: it prompts again a little later
//   62h 62h          runs the code at 0000h. The legacy installer there puts
//                    loader 1.1F into F000h-F3FFh, which then starts; any
//                    other code is the user's program.
// After a command it prompts at once. A prompt left unanswered, or a command
// whose bytes stop coming, is given up after legacyCommandTimeout with a new
// prompt; a byte it does not understand gets no answer.
void LegacyLoaderByte(SimChipState& state, std::uint8_t byte, SimClock::time_point now,
                      std::vector<SimReply>& out);
// The prompt, when it is due at `now`.
void LegacyLoaderTick(SimChipState& state, SimClock::time_point now, std::vector<SimReply>& out);

// The 1.1E loader's bytes at F000h: three sectors fewer than 1.1F's.
std::size_t LegacyLoaderBytes(const SimChip& chip);

// Where a reset leads: the 1.1E loader, the debug monitor that replaced the
// loader (silent to the loader's hand-shake), or the 1.1F loader's baud
// detection. A loader written into block 1 by a loader update is taken to be
// a compatible one.
SimTarget::Phase StartPhase(const SimChipState& state);
bool DebugMonitorInstalled(const SimChipState& state);

}  // namespace brisko::sim
