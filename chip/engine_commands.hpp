#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "link/command_primitives.hpp"

namespace brisko {

// The loader commands that reach one flash target: the chip's own flash, or
// the external flash of the demonstration board, which the loader serves with
// a command set of its own while a bank is selected.
struct EngineCommands {
  std::uint8_t eraseSector;
  std::uint8_t programChunk;
  std::uint8_t readChunk;
  // The external flash answers its sector erase only after the erase has run,
  // so the host pauses before it starts the reply's read time-out.
  bool pauseAfterErase;
};

inline constexpr EngineCommands kInternalFlashCommands{cmd::kErase, cmd::kProgram, cmd::kRead, false};
inline constexpr EngineCommands kExternalBankCommands{cmd::kExternalEraseOrLock, cmd::kExternalProgram,
                                                      cmd::kStartOrExternalRead, true};

inline constexpr const EngineCommands& CommandsFor(bool externalBank) {
  return externalBank ? kExternalBankCommands : kInternalFlashCommands;
}

// The loader takes one count byte per frame: counts go modulo 256.
inline constexpr std::uint8_t CountByte(std::size_t count) { return static_cast<std::uint8_t>(count & 0xFF); }

// Addresses above FFFFh (the end of a 64 KB bank) wrap as the loader sees them.
inline constexpr std::uint16_t WireAddress(std::uint32_t address) {
  return static_cast<std::uint16_t>(address & 0xFFFF);
}

// Chunks that cover `length` bytes; a final partial chunk counts as one.
inline constexpr std::size_t ChunkCount(std::size_t length, std::uint32_t chunk) {
  return chunk == 0 ? 0 : (length + chunk - 1) / chunk;
}

// Copies up to chunk bytes of the remaining source into `working` and pads a
// final partial chunk with FFh, the value of erased flash.
inline void FillChunk(std::span<std::uint8_t> working, const std::uint8_t* source, std::size_t remaining) {
  const std::size_t n = std::min(working.size(), remaining);
  std::copy_n(source, n, working.begin());
  std::fill(working.begin() + static_cast<std::ptrdiff_t>(n), working.end(), std::uint8_t{0xFF});
}

inline bool IsBlank(std::span<const std::uint8_t> bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0xFF; });
}

}  // namespace brisko
