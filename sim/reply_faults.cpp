#include "sim/reply_faults.hpp"

namespace brisko::sim {

int ReplyFaults::Count(std::uint8_t command) { return ++counts_[command]; }

bool ReplyFaults::RefuseNextErase(const FaultPlan& plan) {
  ++erases_;
  return plan.refuseEraseOccurrence > 0 && erases_ == plan.refuseEraseOccurrence;
}

void ReplyFaults::Clear() {
  counts_.fill(0);
  erases_ = 0;
}

void ReplyFaults::Emit(const FaultPlan& plan, std::uint8_t command, int occurrence,
                       std::span<const std::uint8_t> bytes, std::vector<SimReply>& out) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    SimReply reply{bytes[i], Millis{0}};
    bool dropped = false;
    for (const ReplyFault& f : plan.replyFaults) {
      if (f.command != command || static_cast<std::size_t>(f.byteIndex) != i) continue;
      if (f.occurrence != 0 && f.occurrence != occurrence) continue;
      switch (f.kind) {
        case ReplyFault::Kind::Drop: dropped = true; break;
        case ReplyFault::Kind::Corrupt: reply.byte ^= f.xorMask; break;
        case ReplyFault::Kind::Delay: reply.delay += f.delay; break;
      }
    }
    if (!dropped) out.push_back(reply);
  }
}

}  // namespace brisko::sim
