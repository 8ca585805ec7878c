#include <algorithm>
#include <optional>

#include "firmware/firmware.hpp"
#include "sim/command_step.hpp"
#include "sim/external_bank_commands.hpp"

namespace brisko::sim {
namespace {

constexpr std::uint8_t kAck = 0xC0;
constexpr std::uint16_t kProgrammerBase = 0x2000;
constexpr std::uint16_t kProgrammerEntry = 0x2027;
constexpr std::uint8_t kProgrammerValue = 0x10;

using Out = std::vector<SimReply>;

// Which block a loader frame reaches. KT540/KT550 show one block at a time at
// 0000h; the E000h models do so too in internal memory mode, where block 1
// holds the running loader; otherwise the address decides.
std::optional<FlashSpot> LoaderSpot(const SimChipState& c, std::uint16_t address) {
  int block = 0;
  if (c.chip.sharesAddresses || (c.chip.block1AtE000 && c.Internal()))
    block = c.selectedBlock;
  else
    block = address >= c.chip.block1Base ? 1 : 0;
  const std::uint32_t base = c.chip.Base(block);
  if (address < base) return std::nullopt;
  return FlashSpot{block, address - base};
}

// In internal memory mode the loader runs from block 1 and cannot rewrite it.
bool MayChange(const SimChipState& c, const FlashSpot& spot) {
  return spot.block == 0 || !c.Internal();
}

bool SelectBlock1Allowed(const SimChipState& c) {
  return c.chip.sharesAddresses || (c.chip.block1AtE000 && c.Internal());
}

void Erase(SimChipState& c, Out& out) {
  const auto& p = c.pending;
  const int occurrence = c.counters.Count(p[0]);
  const bool refused = c.counters.RefuseNextErase(c.config.faults);
  const auto spot = LoaderSpot(c, FrameAddress(p));
  if (!spot || !MayChange(c, *spot) || !c.SectorsInside(*spot, p[3])) return;
  if (!refused) c.EraseSectors(*spot, p[3]);
  c.Answer(p[0], occurrence, {refused ? std::uint8_t{0x00} : kAck}, out);
}

void Read(SimChipState& c, Out& out) {
  const auto& p = c.pending;
  const int occurrence = c.counters.Count(p[0]);
  const std::uint32_t n = FrameCount(p[3]);
  const auto spot = LoaderSpot(c, FrameAddress(p));
  if (!spot || !c.RangeInside(*spot, n)) return;
  c.Answer(p[0], occurrence, c.Read(*spot, n), out);
}

void Program(SimChipState& c) {
  const auto& p = c.pending;
  c.counters.Count(p[0]);
  const std::uint32_t n = FrameCount(p[3]);
  const auto spot = LoaderSpot(c, FrameAddress(p));
  if (!spot || !MayChange(c, *spot) || !c.RangeInside(*spot, n)) return;
  c.Program(*spot, std::span<const std::uint8_t>(p).subspan(4, n));
}

// Chip erase empties block 0 and unlocks the chip; remap, SC and double
// clock are configuration, not security, and stay.
void ChipErase(SimChipState& c) {
  const auto& p = c.pending;
  c.counters.Count(p[0]);
  if (FrameAddress(p) != 0x0000 || p[3] != 0x01) return;
  c.flash[0].Fill();
  c.security = 0;
  c.busyUntil = c.now + c.config.chipEraseBusy;
}

bool ProgrammerParked(const SimChipState& c) {
  const auto& image = c.chip.kt400 ? firmware::Block1ProgrammerKT400 : firmware::Block1ProgrammerKT500;
  const FlashSpot at{0, kProgrammerBase};
  if (!c.RangeInside(at, static_cast<std::uint32_t>(image.size()))) return false;
  const auto parked = c.Read(at, static_cast<std::uint32_t>(image.size()));
  return std::equal(parked.begin(), parked.end(), image.begin());
}

// The chip jumps: only the parked programmer's entry leads anywhere we
// model; anything else runs code that will not talk to us.
// The parked programmer is entered with the value 10h only; the loader
// ignores a start of it with any other value.
void Start(SimChipState& c, Out& out) {
  const auto& p = c.pending;
  const int occurrence = c.counters.Count(p[0]);
  if (FrameAddress(p) == kProgrammerEntry && p[3] != kProgrammerValue) return;
  c.Answer(p[0], occurrence, {kAck}, out);
  const bool programmer = FrameAddress(p) == kProgrammerEntry && ProgrammerParked(c);
  c.phase = programmer ? SimTarget::Phase::Programmer : SimTarget::Phase::Halted;
}

void Select(SimChipState& c, int block, Out& out) {
  const std::uint8_t command = c.pending[0];
  const int occurrence = c.counters.Count(command);
  if (block == 1 && !SelectBlock1Allowed(c)) return;
  c.selectedBlock = block;
  c.Answer(command, occurrence, {kAck}, out);
}

// Security bits by the index the pair form carries: SB1 is bit 7.
std::uint8_t SecurityBit(std::uint8_t index) { return static_cast<std::uint8_t>(0x80 >> index); }

// 04h x (KT400; KT500 in external memory mode) or 04h x y (KT500 internal).
CommandStep ConfigProgram04(SimChipState& c) {
  const auto& p = c.pending;
  if (p.size() < 2) return CommandStep::Wait;
  if (c.chip.kt400 || !c.Internal()) {
    if (p[1] > 0x02) return CommandStep::NotUnderstood;
    c.counters.Count(p[0]);
    c.security |= SecurityBit(p[1]);
    return CommandStep::Done;
  }
  switch (p[1]) {
    case 0x0F: case 0x03: case 0x05: case 0x08: case 0x09: break;
    default: return CommandStep::NotUnderstood;
  }
  if (p.size() < 3) return CommandStep::Wait;
  const std::uint16_t selectorAndKey = static_cast<std::uint16_t>(p[1] << 8 | p[2]);
  switch (selectorAndKey) {
    case 0x0FFF: c.security |= 0x80; break;
    case 0x03FF: c.security |= 0x40; break;
    case 0x05FF: c.security |= 0x20; break;
    case 0x0855: c.doubleClock = true; break;
    case 0x095A: c.remap |= 0x01; break;
    case 0x09AA: c.remap |= 0x02; break;
    default: return CommandStep::NotUnderstood;
  }
  c.counters.Count(p[0]);
  return CommandStep::Done;
}

// 02h 00h RB0, 02h 01h RB1: the KT400 family's remap bits.
CommandStep Remap02(SimChipState& c) {
  const auto& p = c.pending;
  if (!c.chip.kt400) return CommandStep::NotUnderstood;
  if (p.size() < 2) return CommandStep::Wait;
  if (p[1] > 0x01) return CommandStep::NotUnderstood;
  c.counters.Count(p[0]);
  c.remap |= p[1] == 0x00 ? 0x01 : 0x02;
  return CommandStep::Done;
}

// 67h 67h SC0, 6Ch 6Ch SC1, 6Ah 6Ah double clock: KT500 external mode.
void ConfigTwin(SimChipState& c) {
  switch (c.pending[0]) {
    case 0x67: c.remap |= 0x01; break;
    case 0x6C: c.remap |= 0x02; break;
    case 0x6A: c.doubleClock = true; break;
  }
}

bool FrameComplete(const SimChipState& c) { return c.pending.size() >= 4; }
bool DataFrameComplete(const SimChipState& c) {
  return FrameComplete(c) && c.pending.size() >= 4 + FrameCount(c.pending[3]);
}

}  // namespace

CommandStep LoaderStep(SimChipState& c, Out& out) {
  const auto& p = c.pending;
  const std::uint8_t command = p[0];

  if (ExternalBankStarts(c)) return ExternalBankStep(c, out);

  // The commands that are one byte, or the same byte twice.
  auto twin = [&](auto action) {
    if (p.size() < 2) return CommandStep::Wait;
    if (p[1] != command) return CommandStep::NotUnderstood;
    action();
    return CommandStep::Done;
  };
  switch (command) {
    case 0x60: {
      const int occurrence = c.counters.Count(command);
      c.Answer(command, occurrence,
               {c.config.versionByte, static_cast<std::uint8_t>(c.config.versionLetter)}, out);
      return CommandStep::Done;
    }
    case 0x63:
      c.Answer(command, c.counters.Count(command), {0x63}, out);
      return CommandStep::Done;
    case 0x68: return twin([&] { Select(c, 0, out); });
    case 0x69: return twin([&] { Select(c, 1, out); });
    case 0x62: return twin([&] { c.counters.Count(command); c.phase = SimTarget::Phase::UserCode; });
    case 0x6B: return twin([&] { c.counters.Count(command); });
    case 0x67:
    case 0x6C:
    case 0x6A:
      if (c.chip.kt400 || c.Internal()) return CommandStep::NotUnderstood;
      return twin([&] { c.counters.Count(command); ConfigTwin(c); });
    case 0x04: return ConfigProgram04(c);
    case 0x02: return Remap02(c);
    default: break;
  }

  // Four-byte frames, the program frame followed by its data.
  switch (command) {
    case 0x0B:
      if (!FrameComplete(c)) return CommandStep::Wait;
      Erase(c, out);
      return CommandStep::Done;
    case 0x0C:
      if (!FrameComplete(c)) return CommandStep::Wait;
      Read(c, out);
      return CommandStep::Done;
    case 0x0E:
      if (!DataFrameComplete(c)) return CommandStep::Wait;
      Program(c);
      return CommandStep::Done;
    case 0x01:
      if (!FrameComplete(c)) return CommandStep::Wait;
      ChipErase(c);
      return CommandStep::Done;
    case 0x03:
      if (!FrameComplete(c)) return CommandStep::Wait;
      if (c.Internal())
        Start(c, out);
      else
        ExternalMemoryRead(c, out);
      return CommandStep::Done;
    default: return CommandStep::NotUnderstood;
  }
}

}  // namespace brisko::sim
