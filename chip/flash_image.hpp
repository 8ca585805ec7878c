#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace brisko {

// A byte buffer standing for a range of flash; bytes never written are FFh,
// the value of erased flash.
class FlashImage {
 public:
  static constexpr std::uint8_t kErased = 0xFF;

  FlashImage() = default;
  explicit FlashImage(std::size_t size) : bytes_(size, kErased) {}

  std::size_t Size() const { return bytes_.size(); }
  bool Empty() const { return bytes_.empty(); }
  std::uint8_t* Data() { return bytes_.data(); }
  const std::uint8_t* Data() const { return bytes_.data(); }
  std::uint8_t& operator[](std::size_t i) { return bytes_[i]; }
  std::uint8_t operator[](std::size_t i) const { return bytes_[i]; }
  void Fill(std::uint8_t value = kErased) { bytes_.assign(bytes_.size(), value); }
  void Fill(std::size_t from, std::size_t count, std::uint8_t value = kErased) {
    for (std::size_t i = from; i < from + count && i < bytes_.size(); ++i) bytes_[i] = value;
  }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace brisko
