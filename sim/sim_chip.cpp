#include "sim/sim_chip.hpp"

#include "chip/chip_catalogue.hpp"

namespace brisko::sim {
namespace {

constexpr std::uint32_t kKB = 1024;

SimChip Kt400(std::uint32_t block0Size) {
  SimChip c;
  c.known = true;
  c.kt400 = true;
  c.block0Size = block0Size;
  c.block1Size = 4 * kKB;
  c.block1SectorSize = 64;
  c.block1Base = 0xF000;
  c.externalModeByte = 0x01;
  c.loaderReentry = 0xF080;
  c.loaderSectors = 16;
  return c;
}

SimChip Kt500(std::uint32_t block0Size, bool shares, std::optional<std::uint16_t> reentry) {
  SimChip c;
  c.known = true;
  c.block0Size = block0Size;
  c.block1Size = 8 * kKB;
  c.block1SectorSize = 128;
  c.block1Base = shares ? 0x0000 : 0xE000;
  c.sharesAddresses = shares;
  c.block1AtE000 = !shares;
  c.externalModeByte = shares ? 0x02 : 0x03;
  c.loaderReentry = reentry;
  c.loaderSectors = 9;
  return c;
}

}  // namespace

const SimChip& SimChipFor(int model) {
  static const SimChip kt410 = Kt400(16 * kKB);
  static const SimChip kt420 = Kt400(32 * kKB);
  static const SimChip kt540 = Kt500(64 * kKB, true, 0x02CA);
  static const SimChip kt530 = Kt500(32 * kKB, false, 0xE2CA);
  static const SimChip kt570 = Kt500(16 * kKB, false, 0xE2CA);
  static const SimChip kt580 = Kt500(8 * kKB, false, std::nullopt);
  static const SimChip unknown = [] {
    SimChip c = Kt400(64 * kKB);
    c.known = false;
    c.externalModeByte = 0;
    c.loaderReentry.reset();
    return c;
  }();
  switch (model) {
    case kKT410: return kt410;
    case kKT420: return kt420;
    case kKT540:
    case kKT550: return kt540;
    case kKT530:
    case kKT560: return kt530;
    case kKT570: return kt570;
    case kKT580: return kt580;
    default: return unknown;
  }
}

}  // namespace brisko::sim
