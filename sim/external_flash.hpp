#pragma once
#include <cstdint>
#include <span>
#include <vector>

namespace brisko::sim {

// The 128 KB parallel flash (KF010) on the demonstration board's external
// bus. The chip drives 16 address lines; the board's DIP switch sets A16 and
// so decides which 64 KB half every access reaches. Sectors are 4096 bytes;
// programming can only clear bits.
class ExternalFlash {
 public:
  static constexpr std::uint32_t kSize = 0x20000;
  static constexpr std::uint32_t kHalfSize = 0x10000;
  static constexpr std::uint32_t kSectorSize = 4096;

  ExternalFlash() : bytes_(kSize, 0xFF) {}

  bool A16() const { return a16_; }
  void SetA16(bool high) { a16_ = high; }

  void EraseSector(std::uint16_t address);
  void EraseAll();
  void Program(std::uint16_t address, std::span<const std::uint8_t> data);
  std::vector<std::uint8_t> Read(std::uint16_t address, std::uint32_t length) const;

  // The whole device, offset 0 = A16 low, address 0.
  std::vector<std::uint8_t>& Bytes() { return bytes_; }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  // Addresses past FFFFh wrap inside the half, as the 16 address lines do.
  std::uint32_t Offset(std::uint32_t address) const { return (a16_ ? kHalfSize : 0) + (address & 0xFFFF); }

  std::vector<std::uint8_t> bytes_;
  bool a16_ = false;
};

}  // namespace brisko::sim
