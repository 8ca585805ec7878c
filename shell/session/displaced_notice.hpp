#pragma once
#include <array>
#include <atomic>
#include <cstddef>
#include <span>
#include <string>

namespace brisko {

// What is displaced on the chip right now (user bytes, the loader) and where
// its recovery file is, for a front end that has to end at once: a second
// Ctrl-C reads it inside a signal handler, so the text is prepared before the
// displacement starts and read without allocating or locking.
class DisplacedNotice {
 public:
  // Publishes `text` (cut to the slot's size); "" withdraws it. One writer at
  // a time (the command thread).
  void Set(const std::string& text);
  std::string Current() const;
  // The published text; empty when nothing is displaced. Async-signal-safe.
  std::span<const char> ForSignalHandler() const;

 private:
  static constexpr std::size_t kSlotSize = 2048;
  // Two slots: a new text is written into the one no reader can be in.
  std::array<std::array<char, kSlotSize>, 2> slots_{};
  std::array<std::atomic<std::size_t>, 2> lengths_{};
  std::atomic<int> active_{-1};
  static_assert(std::atomic<int>::is_always_lock_free && std::atomic<std::size_t>::is_always_lock_free);
};

}  // namespace brisko
