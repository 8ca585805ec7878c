#include "shell/session/displaced_notice.hpp"

#include <algorithm>

namespace brisko {

void DisplacedNotice::Set(const std::string& text) {
  if (text.empty()) {
    active_.store(-1, std::memory_order_release);
    return;
  }
  const int slot = active_.load(std::memory_order_relaxed) == 0 ? 1 : 0;
  const std::size_t n = std::min(text.size(), kSlotSize);
  std::copy_n(text.begin(), n, slots_[slot].begin());
  lengths_[slot].store(n, std::memory_order_relaxed);
  active_.store(slot, std::memory_order_release);
}

std::string DisplacedNotice::Current() const {
  const auto text = ForSignalHandler();
  return std::string(text.begin(), text.end());
}

std::span<const char> DisplacedNotice::ForSignalHandler() const {
  const int slot = active_.load(std::memory_order_acquire);
  if (slot < 0) return {};
  return {slots_[slot].data(), lengths_[slot].load(std::memory_order_relaxed)};
}

}  // namespace brisko
