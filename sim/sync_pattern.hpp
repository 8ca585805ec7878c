#pragma once
#include <array>
#include <cstdint>

#include "sim/sim_target.hpp"

namespace brisko::sim {

// Recognises the baud-detect group 80h E0h F8h FEh in a byte stream and
// remembers when the group's first byte came.
class SyncPattern {
 public:
  static constexpr std::array<std::uint8_t, 4> kGroup{0x80, 0xE0, 0xF8, 0xFE};

  // True when this byte completes a group.
  bool Feed(std::uint8_t byte, SimClock::time_point now) {
    if (byte != kGroup[matched_]) matched_ = 0;
    if (byte != kGroup[matched_]) return false;
    if (matched_ == 0) start_ = now;
    if (++matched_ < kGroup.size()) return false;
    matched_ = 0;
    return true;
  }
  // A group has begun and is not yet complete.
  bool InGroup() const { return matched_ > 0; }
  SimClock::time_point GroupStart() const { return start_; }
  void Clear() { matched_ = 0; }

 private:
  std::size_t matched_ = 0;
  SimClock::time_point start_{};
};

}  // namespace brisko::sim
