#pragma once
#include "shell/session/operator.hpp"

namespace brisko {

// The lock menu of the model's family, nothing chosen; none (no options) for
// a model of neither family.
LockMenu LockMenuFor(int model);

// The remap menu with the model's radios enabled; for a model code outside
// 1..8 every radio keeps its enabled state as the menu is built (all on).
RemapMenu RemapMenuFor(int model);

// The option of a radio if it is enabled.
bool RemapChoiceAllowed(const RemapMenu& menu, int remapOption);

}  // namespace brisko
