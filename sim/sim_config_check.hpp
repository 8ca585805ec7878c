#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "sim/sim_target.hpp"

namespace brisko::sim {

// Why a simulated chip cannot be built as configured, or "" when it can.
// brisko-sim, brisko-cli's --simulate and the window's simulated chip all ask
// this one check, so a configuration one of them refuses is refused by every
// one, in the same words; the words name no option, since each program
// spells its options its own way.
std::string SimConfigProblem(const SimConfig& config);

// "1.1F" or "1.1E" (any case): whether the chip runs the older loader. None
// for any other text.
std::optional<bool> LegacyLoaderFromText(std::string_view text);

}  // namespace brisko::sim
