#pragma once
#include <string>
#include <vector>

namespace brisko::gui {

// The serial adapters present on this machine: the stable names in
// /dev/serial/by-id, then /dev/ttyUSB*, /dev/ttyACM* and /dev/ttyS* that
// exist, USB adapters first, in numeric order.
std::vector<std::string> FindSerialAdapters(const std::string& deviceDir = "/dev");

}  // namespace brisko::gui
