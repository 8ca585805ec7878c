#include "sim/external_flash.hpp"

#include <algorithm>

namespace brisko::sim {

void ExternalFlash::EraseSector(std::uint16_t address) {
  const std::uint32_t first = Offset(address - address % kSectorSize);
  std::fill_n(bytes_.begin() + first, kSectorSize, std::uint8_t{0xFF});
}

void ExternalFlash::EraseAll() { std::fill(bytes_.begin(), bytes_.end(), std::uint8_t{0xFF}); }

void ExternalFlash::Program(std::uint16_t address, std::span<const std::uint8_t> data) {
  for (std::size_t i = 0; i < data.size(); ++i) bytes_[Offset(address + i)] &= data[i];
}

std::vector<std::uint8_t> ExternalFlash::Read(std::uint16_t address, std::uint32_t length) const {
  std::vector<std::uint8_t> out(length);
  for (std::uint32_t i = 0; i < length; ++i) out[i] = bytes_[Offset(address + i)];
  return out;
}

}  // namespace brisko::sim
