#include "sim/external_bank_commands.hpp"

namespace brisko::sim {

bool ExternalBankStarts(const SimChipState& c) {
  switch (c.pending[0]) {
    case 0x66:
    case 0x06: return true;
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04: return c.externalBankEntered;
    default: return false;
  }
}

CommandStep ExternalBankStep(SimChipState& c, std::vector<SimReply>&) {
  const auto& p = c.pending;
  switch (p[0]) {
    case 0x66:
      if (p.size() >= 2 && p[1] != 0x66) return CommandStep::NotUnderstood;
      if (p.size() < 3) return CommandStep::Wait;
      c.counters.Count(p[0]);
      return CommandStep::Done;
    case 0x06:
      if (p.size() < 4 || p.size() < 4 + FrameCount(p[3])) return CommandStep::Wait;
      c.counters.Count(p[0]);
      return CommandStep::Done;
    default: return CommandStep::NotUnderstood;
  }
}

void ExternalMemoryRead(SimChipState& c, std::vector<SimReply>&) { c.counters.Count(c.pending[0]); }

}  // namespace brisko::sim
