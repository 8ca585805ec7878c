#include "sim/external_bank_commands.hpp"

namespace brisko::sim {
namespace {

constexpr std::uint8_t kAck = 0xC0;

using Out = std::vector<SimReply>;

bool FrameComplete(const SimChipState& c) { return c.pending.size() >= 4; }

void EraseSectors(SimChipState& c, Out& out) {
  const auto& p = c.pending;
  const int occurrence = c.counters.Count(p[0]);
  const bool refused = c.counters.RefuseNextErase(c.config.faults);
  if (!refused) {
    std::uint32_t address = FrameAddress(p);
    for (std::uint32_t i = 0; i < p[3]; ++i, address += ExternalFlash::kSectorSize)
      c.kf010.EraseSector(static_cast<std::uint16_t>(address));
  }
  c.Answer(p[0], occurrence, {refused ? std::uint8_t{0x00} : kAck}, out);
}

void Read(SimChipState& c, Out& out) {
  const auto& p = c.pending;
  const int occurrence = c.counters.Count(p[0]);
  c.Answer(p[0], occurrence, c.kf010.Read(FrameAddress(p), FrameCount(p[3])), out);
}

CommandStep Program(SimChipState& c) {
  const auto& p = c.pending;
  if (!FrameComplete(c) || p.size() < 4 + FrameCount(p[3])) return CommandStep::Wait;
  c.counters.Count(p[0]);
  if (c.externalBankEntered)
    c.kf010.Program(FrameAddress(p), std::span<const std::uint8_t>(p).subspan(4, FrameCount(p[3])));
  return CommandStep::Done;
}

// A command whose second byte repeats the first.
template <typename Action>
CommandStep Twin(SimChipState& c, Action action) {
  const auto& p = c.pending;
  if (p.size() < 2) return CommandStep::Wait;
  if (p[1] != p[0]) return CommandStep::NotUnderstood;
  action();
  return CommandStep::Done;
}

}  // namespace

bool ExternalBankStarts(const SimChipState& c) {
  const auto& p = c.pending;
  switch (p[0]) {
    case 0x66:
    case 0x06: return true;
    case 0x01: return c.externalBankEntered || (p.size() >= 2 && p[1] == 0x01);
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x0B:
    case 0x0C:
    case 0x0E: return c.externalBankEntered;
    default: return false;
  }
}

CommandStep ExternalBankStep(SimChipState& c, Out& out) {
  const auto& p = c.pending;
  switch (p[0]) {
    case 0x66:
      if (p.size() >= 2 && p[1] != 0x66) return CommandStep::NotUnderstood;
      if (p.size() < 3) return CommandStep::Wait;
      if (p[2] > 0x01) return CommandStep::NotUnderstood;
      c.counters.Count(p[0]);
      c.externalBankEntered = true;
      return CommandStep::Done;
    case 0x01:
      return Twin(c, [&] {
        c.counters.Count(p[0]);
        c.externalBankEntered = false;
      });
    case 0x02:
      return Twin(c, [&] {
        const int occurrence = c.counters.Count(p[0]);
        c.kf010.EraseAll();
        c.Answer(0x02, occurrence, {kAck}, out);
      });
    case 0x03:
      if (!FrameComplete(c)) return CommandStep::Wait;
      Read(c, out);
      return CommandStep::Done;
    case 0x04:
      if (!FrameComplete(c)) return CommandStep::Wait;
      EraseSectors(c, out);
      return CommandStep::Done;
    case 0x06: return Program(c);
    // The chip's own flash frames mean nothing to the external command set:
    // taken whole, so their bytes cannot pass for other commands, and
    // unanswered.
    case 0x0B:
    case 0x0C:
      if (!FrameComplete(c)) return CommandStep::Wait;
      c.counters.Count(p[0]);
      return CommandStep::Done;
    case 0x0E:
      if (!FrameComplete(c) || p.size() < 4 + FrameCount(p[3])) return CommandStep::Wait;
      c.counters.Count(p[0]);
      return CommandStep::Done;
    default: return CommandStep::NotUnderstood;
  }
}

void ExternalMemoryRead(SimChipState& c, Out& out) { Read(c, out); }

}  // namespace brisko::sim
