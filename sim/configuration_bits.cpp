#include "sim/sim_chip_state.hpp"

namespace brisko::sim {

// SC0 and SC1 programmed from internal memory mode move the reset entry away
// from the loader: SC1 on every KT500 model, SC0 on KT540 and KT550, whose
// loader shares its addresses with block 0. The chip then runs the user's
// code after a reset and never answers the baud-detect pattern in internal
// mode. (A chip configured with these bits at start-up only reports them.)
void SimChipState::ConfigBitProgrammedInternally(std::uint8_t remapBit) {
  remap |= remapBit;
  if (remapBit == 0x02 || chip.sharesAddresses) loaderHidden = true;
}

}  // namespace brisko::sim
