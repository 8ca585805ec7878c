#include "sim/sim_chip_state.hpp"

namespace brisko::sim {

// SC0 and SC1 move the reset entry away from the loader in internal memory
// mode: SC1 on every KT500 model, SC0 on KT540 and KT550, whose loader
// shares its addresses with block 0. The chip then runs the user's code
// after a reset and never answers the baud-detect pattern.
bool SimChipState::HiddenByConfiguration() const {
  if (!Internal() || chip.kt400) return false;
  const bool sc0 = (remap & 0x01) != 0;
  const bool sc1 = (remap & 0x02) != 0;
  return sc1 || (sc0 && chip.sharesAddresses);
}

}  // namespace brisko::sim
