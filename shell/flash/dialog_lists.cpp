#include "shell/flash/dialog_lists.hpp"

#include <cstdio>

namespace brisko {
namespace {

// The high bank's sectors are numbered on from the low bank's, so their
// addresses run past FFFFh and print with five digits.
constexpr std::uint32_t kHighBankFirstSector = 16;

SectorEntry Entry(int block, const char* prefix, std::uint32_t number, std::uint32_t address) {
  char text[48];
  std::snprintf(text, sizeof text, "%s %03u    Addr=%04X", prefix, number, address);
  return SectorEntry{block, address, text};
}

}  // namespace

std::vector<SectorEntry> StartSectorList(const SessionRecord& record, bool includeBlock1, BankView bank) {
  std::vector<SectorEntry> entries;
  if (bank != BankView::None) {
    const std::uint32_t first = bank == BankView::High ? kHighBankFirstSector : 0;
    for (std::uint32_t n = first; n < first + kBankSectorCount; ++n)
      entries.push_back(Entry(-1, "Sector", n, n * kBankSectorSize));
    return entries;
  }
  const std::uint32_t size0 = record.SectorSize(0);
  for (std::uint32_t n = 0; n < record.SectorCount(0); ++n) entries.push_back(Entry(0, "Sector", n, n * size0));
  if (includeBlock1) {
    const std::uint32_t size1 = record.SectorSize(1);
    const std::uint32_t start1 = Block1Start(record.GetChipModel());
    for (std::uint32_t n = 0; n < record.SectorCount(1); ++n)
      entries.push_back(Entry(1, "B1 Str", n, start1 + n * size1));
  }
  return entries;
}

std::vector<std::string> RangeList(const SessionRecord& record, BankView bank) {
  const std::uint32_t count = bank == BankView::None ? record.SectorCount(0) : kBankSectorCount;
  std::vector<std::string> entries{"All Sectors"};
  for (std::uint32_t n = 1; n < count; ++n) {
    char text[32];
    std::snprintf(text, sizeof text, "%03u sectors", n);
    entries.push_back(text);
  }
  return entries;
}

StartChoice ResolveStartIndex(const SessionRecord& record, int index) {
  const std::uint32_t sector = index < 0 ? 0 : static_cast<std::uint32_t>(index);
  const std::uint32_t count0 = record.SectorCount(0);
  if (sector < count0) return StartChoice{0, sector * record.SectorSize(0)};
  return StartChoice{1, (sector - count0) * record.SectorSize(1) + Block1Start(record.GetChipModel())};
}

std::uint32_t ResolveSectorCount(const SessionRecord& record, const StartChoice& start, int rangeIndex) {
  const int block = start.block == 1 ? 1 : 0;
  const std::uint32_t sectorCount = record.SectorCount(block);
  const std::uint32_t sectorSize = record.SectorSize(block);
  const std::uint32_t base = block == 0 ? record.BaseAddress(0) : Block1Start(record.GetChipModel());
  if (sectorSize == 0 || start.address < base) return 0;
  const std::uint32_t first = (start.address - base) / sectorSize;
  if (first >= sectorCount) return 0;
  const std::uint32_t wanted = rangeIndex <= 0 ? sectorCount : static_cast<std::uint32_t>(rangeIndex);
  return wanted > sectorCount - first ? sectorCount - first : wanted;
}

}  // namespace brisko
