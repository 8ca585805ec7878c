#pragma once
#include <cstdint>
#include <functional>
#include <span>

namespace brisko {

// Reads `out.size()` bytes from `address` into `out`; true when every byte came.
using RangeReader = std::function<bool(std::uint32_t address, std::span<std::uint8_t> out)>;

// Bytes that are about to be erased and put back later are read until two
// reads give the same bytes: a single read may carry a corrupted byte, or one
// shifted by a dropped one, and the check after the put-back would take that
// copy for the truth. At most `limit` reads; false (and `out` unchanged)
// when no two of them agree.
inline constexpr int kAgreedReadLimit = 12;
bool ReadUntilTwoAgree(const RangeReader& read, std::uint32_t address, std::span<std::uint8_t> out,
                       int limit = kAgreedReadLimit);

}  // namespace brisko
