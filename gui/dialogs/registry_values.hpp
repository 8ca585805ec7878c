#pragma once
#include <string>

namespace brisko::gui {

// The two written-only values "COMMPORT" and "BAUDRATE", kept in the
// toolkit's settings store of the organisation "Orvex" (the registry on
// Windows, <config home>/Orvex/Brisko.conf here).
bool WriteRegistryValue(const std::string& name, const std::string& text);
// From now on the shell's SaveRegistryValue writes through the above.
void UseToolkitRegistry();

}  // namespace brisko::gui
