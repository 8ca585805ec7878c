// Any text as an Intel HEX file: the image builder must refuse or build,
// never read or write out of bounds; a built image fits one 64 KB window.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "image/intel_hex_image.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream text(std::string(reinterpret_cast<const char*>(data), size));
  const brisko::HexImage image = brisko::BuildImageFromHex(text, "fuzz.hex");
  if (image.ok && image.bytes.size() > 0x10000) __builtin_trap();
  if (!image.ok && image.error.empty()) __builtin_trap();
  return 0;
}
