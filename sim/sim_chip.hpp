#pragma once
#include <cstdint>
#include <optional>

namespace brisko::sim {

// What the simulated chip knows about itself, per model. The sim keeps its
// own table rather than asking the host's catalogue: it stands in for the
// silicon, so a mistake in the host's tables must show up as a failing
// dialogue, not be mirrored.
struct SimChip {
  bool known = false;
  bool kt400 = false;               // KT410/KT420; otherwise a KT500 model
  std::uint32_t block0Size = 0;     // 128-byte sectors, based at 0000h
  std::uint32_t block1Size = 0;
  std::uint32_t block1SectorSize = 0;
  std::uint32_t block1Base = 0;     // where block-1 frames address it
  bool sharesAddresses = false;     // KT540/KT550: block 1 also at 0000h
  bool block1AtE000 = false;        // KT530/560/570/580
  std::uint8_t externalModeByte = 0;  // second byte of 05h in external mode
  std::optional<std::uint16_t> loaderReentry;
  std::uint32_t loaderSectors = 0;  // BSL sectors at the start of block 1

  static constexpr std::uint32_t kBlock0SectorSize = 128;
  static constexpr std::uint8_t kInternalModeByte = 0x55;

  std::uint32_t SectorSize(int block) const {
    return block == 0 ? kBlock0SectorSize : block1SectorSize;
  }
  std::uint32_t BlockSize(int block) const { return block == 0 ? block0Size : block1Size; }
  std::uint32_t Base(int block) const { return block == 0 ? 0 : block1Base; }
  std::uint32_t LoaderBytes() const { return loaderSectors * block1SectorSize; }
};

// The row of a model code; an unknown code gets a row with `known` false,
// whose chip never gets past the mode select.
const SimChip& SimChipFor(int model);

}  // namespace brisko::sim
