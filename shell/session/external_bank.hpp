#pragma once
#include <cstdint>

namespace brisko {

enum class BankView { None, Low, High };

// An external flash bank: 16 sectors of 4096 bytes, read and programmed in
// 128-byte chunks.
inline constexpr std::uint32_t kBankSectorCount = 16;
inline constexpr std::uint32_t kBankSectorSize = 4096;
inline constexpr std::uint32_t kBankChunk = 128;

// The bank the views and lists show while an external bank is entered.
inline BankView EnteredBank(bool lowBankSelected) { return lowBankSelected ? BankView::Low : BankView::High; }
// Sectors of a bank range from a start sector (0..15) and a range index
// (0 = the whole bank), stopping at the bank's last sector: bank addresses are
// 16-bit.
inline std::uint32_t BankSectorCount(int startSector, int rangeIndex) {
  const auto first = static_cast<std::uint32_t>(startSector);
  const std::uint32_t count = rangeIndex == 0 ? kBankSectorCount : static_cast<std::uint32_t>(rangeIndex);
  return first + count > kBankSectorCount ? kBankSectorCount - first : count;
}

}  // namespace brisko
