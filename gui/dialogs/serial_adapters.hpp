#pragma once
#include <string>
#include <vector>

namespace brisko::gui {

// The serial adapters present on this machine: /dev/ttyUSB*, /dev/ttyACM*
// and /dev/ttyS* that exist, USB adapters first, in numeric order.
std::vector<std::string> FindSerialAdapters(const std::string& deviceDir = "/dev");

// Maps "COM<portNumber>" to a device in the user's port map file (one
// "COMn=/dev/..." a line); an empty device drops the entry, so the port
// resolves to its default again. Other lines, comments included, stay.
bool SavePortMapping(const std::string& path, int portNumber, const std::string& device);

}  // namespace brisko::gui
