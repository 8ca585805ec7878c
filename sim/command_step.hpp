#pragma once
#include <vector>

#include "sim/sim_chip_state.hpp"

namespace brisko::sim {

// Where a command stands after its latest byte.
enum class CommandStep {
  Wait,           // more bytes of it are to come
  Done,           // complete and carried out
  NotUnderstood,  // no command of the current set starts like this
};

// The loader's command set (phase Loader) and the parked block-1
// programmer's (phase Programmer). Each looks at `state.pending`, which holds
// the bytes of the command so far, the latest last.
CommandStep LoaderStep(SimChipState& state, std::vector<SimReply>& out);
CommandStep ProgrammerStep(SimChipState& state, std::vector<SimReply>& out);

}  // namespace brisko::sim
