#pragma once
#include "link/user_paths.hpp"

namespace brisko {

// The user's own folders: $XDG_CONFIG_HOME/brisko (default ~/.config/brisko),
// $XDG_CACHE_HOME/brisko and $XDG_DATA_HOME/brisko (~/.local/share/brisko).
// A relative XDG value is ignored, as if it were not set. The folders are
// created when a file is first written into them.
SessionPlaces UserPlaces();

}  // namespace brisko
