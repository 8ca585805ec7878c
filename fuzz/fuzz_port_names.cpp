// Any text as a port name and as the port-mapping file: names resolve to a
// device name, the mapping keeps only COM<n> entries with a device.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "link/port_names.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brisko;
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::istringstream lines(text);
  const auto map = ParsePortMap(lines);
  for (const auto& [number, device] : map)
    if (number < 1 || device.empty()) __builtin_trap();
  const std::string name = text.substr(0, text.find('\n'));
  const auto number = ParseComName(name);
  if (number && (*number < 1 || ComName(*number).empty())) __builtin_trap();
  if (ResolvePortName(name, map).empty() != name.empty()) __builtin_trap();
  return 0;
}
