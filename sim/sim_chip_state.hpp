#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "chip/flash_image.hpp"
#include "sim/external_flash.hpp"
#include "sim/reply_faults.hpp"
#include "sim/legacy_state.hpp"
#include "sim/sim_chip.hpp"
#include "sim/sim_target.hpp"
#include "sim/sync_pattern.hpp"

namespace brisko::sim {

// A place in one flash block.
struct FlashSpot {
  int block = 0;
  std::uint32_t offset = 0;
};

// Everything the simulated chip holds: its flash and non-volatile bits, and
// the loader's working state between two host bytes. The command sets of the
// loader and of the parked programmer work on it.
struct SimChipState {
  explicit SimChipState(SimConfig config);

  SimConfig config;
  const SimChip& chip;

  // Non-volatile.
  FlashImage flash[2];
  std::vector<std::uint8_t> loaderImage;  // what the BSL sectors hold when intact
  std::uint8_t security = 0;              // bits 7..5
  std::uint8_t remap = 0;                 // bits 1..0
  bool doubleClock = false;
  ExternalFlash kf010;                    // on the board, behind the chip
  bool legacyLoader = false;              // 1.1E until its installer has run

  // Volatile, cleared by a reset.
  SimTarget::Phase phase = SimTarget::Phase::AwaitPattern;
  int selectedBlock = 0;
  SyncPattern sync;
  std::optional<SimClock::time_point> syncStart;
  SyncPattern restart;
  std::size_t readyMatched = 0;  // bytes of "BSL" seen
  bool modeSelectSeen = false;   // 05h came, the mode byte is next
  std::vector<std::uint8_t> pending;  // bytes of the command being received
  ReplyFaults counters;
  long hostBytesSinceReset = 0;
  bool externalBankEntered = false;  // see external_bank_commands.hpp
  LegacyState legacy;                // see legacy_loader.hpp
  SimClock::time_point now{};         // when the byte being handled came in
  std::optional<SimClock::time_point> busyUntil;  // erasing itself: deaf till then

  std::vector<std::uint8_t> hostBytes;  // the last ones: see SimConfig::keptHostBytes
  std::uint64_t hostBytesHeard = 0;

  void KeepHostByte(std::uint8_t byte);

  void Reset();
  // What the legacy installer does: loader 1.1F in the BSL sectors.
  void InstallLoader11F();
  bool Internal() const { return config.memoryMode == kInternalMemory; }
  bool Silenced() const;
  std::uint8_t StatusByte() const;
  bool LoaderIntact() const;
  // SC0/SC1 programmed in internal memory mode can keep the loader from
  // answering there after the next reset.
  bool loaderHidden = false;
  void ConfigBitProgrammedInternally(std::uint8_t remapBit);
  bool HiddenByConfiguration() const { return loaderHidden && Internal(); }

  // The sector-aligned range of `sectors` sectors from the sector holding
  // `spot`, if it lies inside the block.
  bool SectorsInside(const FlashSpot& spot, std::uint32_t sectors) const;
  bool RangeInside(const FlashSpot& spot, std::uint32_t length) const;
  void EraseSectors(const FlashSpot& spot, std::uint32_t sectors);
  // Flash programming can only clear bits.
  void Program(const FlashSpot& spot, std::span<const std::uint8_t> data);
  std::vector<std::uint8_t> Read(const FlashSpot& spot, std::uint32_t length) const;

  // Sends a reply through the fault plan.
  void Answer(std::uint8_t command, int occurrence, std::span<const std::uint8_t> bytes,
              std::vector<SimReply>& out) const {
    ReplyFaults::Emit(config.faults, command, occurrence, bytes, out);
  }
  void Answer(std::uint8_t command, int occurrence, std::initializer_list<std::uint8_t> bytes,
              std::vector<SimReply>& out) const {
    ReplyFaults::Emit(config.faults, command, occurrence, bytes, out);
  }
};

// The count byte of a read or program frame: 0 stands for 256.
inline std::uint32_t FrameCount(std::uint8_t parameter) { return parameter == 0 ? 256u : parameter; }
inline std::uint16_t FrameAddress(std::span<const std::uint8_t> frame) {
  return static_cast<std::uint16_t>(frame[1] << 8 | frame[2]);
}

}  // namespace brisko::sim
