#pragma once
#include <chrono>
#include <optional>

namespace brisko::sim {

struct SimChipState;

// The 1.1E loader's working state between two host bytes (volatile).
struct LegacyState {
  // When the next prompt (F7h) goes out by itself; none while it is not due.
  std::optional<std::chrono::steady_clock::time_point> nextPrompt;
  bool commandLost = false;  // the lost-command fault has struck since reset

  void Boot(const SimChipState& chip, std::chrono::steady_clock::time_point now);
};

}  // namespace brisko::sim
