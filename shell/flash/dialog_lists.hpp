#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "chip/session_record.hpp"

namespace brisko {

enum class BankView { None, Low, High };

// An external flash bank: 16 sectors of 4096 bytes, read and programmed in
// 128-byte chunks.
inline constexpr std::uint32_t kBankSectorCount = 16;
inline constexpr std::uint32_t kBankSectorSize = 4096;
inline constexpr std::uint32_t kBankChunk = 128;

// "Starting Sector" entries: block 0's sectors ("Sector %03d    Addr=%04X"),
// then, when includeBlock1, block 1's ("B1 Str %03d    Addr=%04X"); with a
// bank view, 16 bank sectors (high bank numbered 16..31, five-digit addresses).
std::vector<std::string> StartSectorList(const SessionRecord& record, bool includeBlock1, BankView bank);
// "All Sectors", then "%03d sectors" for 1 .. block-0 sector count - 1 (15 for a bank).
std::vector<std::string> RangeList(const SessionRecord& record, BankView bank);

// A start index of the combined list turned into a block and an address.
struct StartChoice {
  int block = 0;
  std::uint32_t address = 0;
};
StartChoice ResolveStartIndex(const SessionRecord& record, int index);
// The sector count of a range index (0 = the whole block), cut so that the
// range ends at the block's last sector.
std::uint32_t ResolveSectorCount(const SessionRecord& record, const StartChoice& start, int rangeIndex);

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
