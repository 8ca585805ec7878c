#pragma once
#include <array>
#include <cstdint>

namespace brisko {

// A fixed ring of 4096 cells holding at most 4095 bytes. Not thread-safe by
// itself: the guarded operations of queue_ops.hpp take its mutex.
class ByteQueue {
 public:
  static constexpr std::uint32_t kCells = 4096;

  bool Put(std::uint8_t byte);
  bool Get(std::uint8_t& byte);
  bool IsEmpty() const { return readIndex_ == writeIndex_; }
  bool IsFull() const { return (writeIndex_ + 1) % kCells == readIndex_; }
  std::uint32_t WriteIndex() const { return writeIndex_; }

 private:
  std::array<std::uint8_t, kCells> storage_{};
  std::uint32_t readIndex_ = 0;
  std::uint32_t writeIndex_ = 0;
};

}  // namespace brisko
