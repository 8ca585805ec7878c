#include "sim/command_step.hpp"

namespace brisko::sim {
namespace {

constexpr std::uint8_t kAck = 0xC0;

using Out = std::vector<SimReply>;

// The programmer addresses block 1 only, at the block's own addresses.
std::optional<FlashSpot> Block1Spot(const SimChipState& c, std::uint16_t address) {
  if (address < c.chip.block1Base) return std::nullopt;
  return FlashSpot{1, address - c.chip.block1Base};
}

void Program(SimChipState& c) {
  const auto& p = c.pending;
  c.counters.Count(p[0]);
  const std::uint32_t n = FrameCount(p[3]);
  const auto spot = Block1Spot(c, FrameAddress(p));
  if (!spot || !c.RangeInside(*spot, n)) return;
  c.Program(*spot, std::span<const std::uint8_t>(p).subspan(4, n));
}

void Read(SimChipState& c, Out& out) {
  const auto& p = c.pending;
  const int occurrence = c.counters.Count(p[0]);
  const std::uint32_t n = FrameCount(p[3]);
  const auto spot = Block1Spot(c, FrameAddress(p));
  if (!spot || !c.RangeInside(*spot, n)) return;
  c.Answer(p[0], occurrence, c.Read(*spot, n), out);
}

void Erase(SimChipState& c, Out& out) {
  const auto& p = c.pending;
  const int occurrence = c.counters.Count(p[0]);
  const bool refused = c.counters.RefuseNextErase(c.config.faults);
  const auto spot = Block1Spot(c, FrameAddress(p));
  if (!spot || !c.SectorsInside(*spot, p[3])) return;
  if (!refused) c.EraseSectors(*spot, p[3]);
  c.Answer(p[0], occurrence, {refused ? std::uint8_t{0x00} : kAck}, out);
}

// The programmer hands the chip back to the loader by jumping into it; if
// the jump misses the loader's entry, or the loader is no longer there, the
// chip runs whatever the bytes say.
void Start(SimChipState& c, Out& out) {
  const auto& p = c.pending;
  const int occurrence = c.counters.Count(p[0]);
  if (p[3] != 0x01) return;
  c.Answer(p[0], occurrence, {kAck}, out);
  const bool reentry = c.chip.loaderReentry && FrameAddress(p) == *c.chip.loaderReentry;
  if (reentry && c.LoaderIntact()) {
    c.phase = SimTarget::Phase::Loader;
    c.selectedBlock = 0;
  } else {
    c.phase = SimTarget::Phase::Halted;
  }
}

}  // namespace

CommandStep ProgrammerStep(SimChipState& c, Out& out) {
  const auto& p = c.pending;
  switch (p[0]) {
    case 0x09:
      if (p.size() < 4 || p.size() < 4 + FrameCount(p[3])) return CommandStep::Wait;
      Program(c);
      return CommandStep::Done;
    case 0x0A:
    case 0x0B:
    case 0x03:
      if (p.size() < 4) return CommandStep::Wait;
      if (p[0] == 0x0A)
        Read(c, out);
      else if (p[0] == 0x0B)
        Erase(c, out);
      else
        Start(c, out);
      return CommandStep::Done;
    default: return CommandStep::NotUnderstood;
  }
}

}  // namespace brisko::sim
