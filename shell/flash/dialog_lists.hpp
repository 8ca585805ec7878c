#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "chip/session_record.hpp"
#include "shell/session/external_bank.hpp"
#include "shell/session/operator.hpp"

namespace brisko {

// "Starting Sector" entries: block 0's sectors ("Sector %03d    Addr=%04X"),
// then, when includeBlock1, block 1's ("B1 Str %03d    Addr=%04X"); with a
// bank view, 16 bank sectors (block -1; the high bank's numbered 16..31, with
// five-digit addresses).
std::vector<SectorEntry> StartSectorList(const SessionRecord& record, bool includeBlock1, BankView bank);
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

}  // namespace brisko
