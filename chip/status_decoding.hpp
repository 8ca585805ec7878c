#pragma once
#include <array>
#include <cstdint>
#include <optional>

#include "chip/chip_catalogue.hpp"

namespace brisko {

// The seven "IAP Function" operation buttons.
enum class IapButton { Download, DownloadRun, Read, SectorErase, ChipErase, LockChip, MemoryRemap };
inline constexpr int kIapButtonCount = 7;

// Per button: on, off, or left as it was (nullopt).
using ButtonChanges = std::array<std::optional<bool>, kIapButtonCount>;

// Which operation buttons a successful detection enables.
ButtonChanges ButtonsAfterDetection(int memoryMode, int model, std::uint8_t securityBits);

// Status byte fields.
inline std::uint8_t SecurityBitsOf(std::uint8_t status) { return status & 0xE0; }
inline bool DoubleClockBitOf(std::uint8_t status) { return (status & 0x08) != 0; }

}  // namespace brisko
