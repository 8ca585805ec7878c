#pragma once
#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

#include "sim/fault_plan.hpp"
#include "sim/sim_target.hpp"

namespace brisko::sim {

// Counts the commands since reset and shapes each reply by the fault plan:
// a reply byte may be dropped, corrupted or held back.
class ReplyFaults {
 public:
  // Notes one more complete command with this code; returns its occurrence
  // (1 = the first since reset).
  int Count(std::uint8_t command);
  // Notes one more erase frame; true when the plan refuses this one.
  bool RefuseNextErase(const FaultPlan& plan);
  void Clear();

  // Appends the reply of occurrence `occurrence` of `command` to `out`.
  static void Emit(const FaultPlan& plan, std::uint8_t command, int occurrence,
                   std::span<const std::uint8_t> bytes, std::vector<SimReply>& out);
  static void Emit(const FaultPlan& plan, std::uint8_t command, int occurrence,
                   std::initializer_list<std::uint8_t> bytes, std::vector<SimReply>& out) {
    Emit(plan, command, occurrence, std::span<const std::uint8_t>(bytes.begin(), bytes.size()), out);
  }

 private:
  std::array<int, 256> counts_{};
  int erases_ = 0;
};

}  // namespace brisko::sim
