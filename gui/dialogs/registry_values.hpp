#pragma once
#include <string>

#include "link/user_paths.hpp"

namespace brisko::gui {

// Writes one of the written-only values "COMMPORT" and "BAUDRATE" with the
// toolkit's settings store into the session's registry file (for the user's
// own folders that is <config home>/Orvex/Brisko.conf, where the toolkit
// keeps the settings of the organisation "Orvex" itself).
bool WriteRegistryValue(const std::string& file, const std::string& name, const std::string& text);
// The places, with the registry values written through the above.
SessionPlaces WithToolkitRegistry(SessionPlaces places);

}  // namespace brisko::gui
