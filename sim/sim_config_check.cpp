#include "sim/sim_config_check.hpp"

#include <cctype>

#include "sim/sim_chip.hpp"

namespace brisko::sim {
namespace {

constexpr std::uint8_t kSecurityMask = 0xE0;  // bits 7..5 of the status byte
constexpr std::uint8_t kRemapMask = 0x03;     // bits 1..0

}  // namespace

std::string SimConfigProblem(const SimConfig& c) {
  if (c.loopback) return "";  // a cable, no chip: nothing else applies
  const SimChip& chip = SimChipFor(c.model);
  if (!chip.known) return "unknown chip model (KT410 KT420 KT530 KT540 KT550 KT560 KT570 KT580)";
  if (c.memoryMode != kInternalMemory && c.memoryMode != kExternalMemory)
    return "the memory mode is internal or external";
  if (c.legacyLoader && !chip.kt400) return "loader 1.1E exists only on the KT410 and KT420";
  if ((c.securityBits & ~kSecurityMask) != 0)
    return "the security bits are bits 7..5 of the status byte (00, 20, 40, ... E0)";
  if ((c.remapBits & ~kRemapMask) != 0) return "the remap bits are 0 to 3";
  if (!std::isgraph(static_cast<unsigned char>(c.versionLetter)))
    return "the loader's version letter is one printable character";
  if (c.block0.size() > chip.block0Size)
    return "the block-0 content (" + std::to_string(c.block0.size()) + " bytes) is larger than the " +
           DescribeChip(c.model).chipTypeText + "'s block 0 (" + std::to_string(chip.block0Size) + " bytes)";
  return "";
}

std::optional<bool> LegacyLoaderFromText(std::string_view text) {
  if (text.size() != 4 || text.substr(0, 3) != "1.1") return std::nullopt;
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[3])));
  if (letter == 'E') return true;
  if (letter == 'F') return false;
  return std::nullopt;
}

}  // namespace brisko::sim
