#include "link/byte_queue.hpp"

namespace brisko {

bool ByteQueue::Put(std::uint8_t byte) {
  if (IsFull()) return false;
  storage_[writeIndex_] = byte;
  writeIndex_ = (writeIndex_ + 1) % kCells;
  return true;
}

bool ByteQueue::Get(std::uint8_t& byte) {
  if (IsEmpty()) return false;
  byte = storage_[readIndex_];
  readIndex_ = (readIndex_ + 1) % kCells;
  return true;
}

}  // namespace brisko
