#pragma once
#include <optional>
#include <string>

#include "shell/session/operator.hpp"

namespace brisko::cli {

// "1k" 1, "2k" 2, "4k" 3, "sc0" 0, "sc1" 4: the remap menu's radios by name.
std::optional<int> RemapOptionFromName(const std::string& name);

// The lock menu as the command line lists it: one "N  label" a line.
std::string LockMenuText(const LockMenu& menu);

}  // namespace brisko::cli
