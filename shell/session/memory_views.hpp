#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "shell/session/window_state.hpp"

namespace brisko {

class Session;

// --- rows, from bytes -----------------------------------------------------

// "Blank" (all FFh); "All Zeros" (all 00h, inside the range just read) or
// "Unknown" (all 00h outside it); "Not Blank" otherwise.
const char* SectorStatusWord(std::span<const std::uint8_t> sector, bool inReadRange);

// Which sectors a table shows: sectorCount rows numbered from firstNumber,
// the first at firstAddress, each next one sectorSize higher. `wide`:
// five-digit hex and six-digit decimal addresses (the external high bank).
struct SectorTableLayout {
  std::uint32_t sectorCount = 0;
  std::uint32_t sectorSize = 0;
  std::uint32_t firstAddress = 0;  // of the first row
  int firstNumber = 0;             // shown in the first row
  bool wide = false;
};

// One row per sector of `bytes` (which start at the first row's sector);
// sectors numbered start .. start+count-1 are in the read range (count and
// start -1: no read range). Empty when `bytes` does not hold every sector.
std::vector<SectorRow> BuildSectorTable(std::span<const std::uint8_t> bytes, const SectorTableLayout& layout,
                                        int count, int start);

// One row per 16 bytes of a sector. The ASCII cell holds the raw bytes up to
// the first 00h (front ends decide how to render bytes above 7Eh).
std::vector<DumpRow> BuildSectorDump(std::span<const std::uint8_t> sector, std::uint32_t firstAddress, bool wide);

// "SECTOR %03d".
std::string DumpHeaderText(int sector);

// --- the window's views ------------------------------------------------------
// Each does nothing while the source image does not exist (no chip detected).

// Internal block b; the sector table's row 0 becomes the hot item.
void FillSectorTable(Session& session, int block, int count, int start);
// The selected external bank; count and start in sector numbers (16..31 for
// the high bank).
void FillExternalSectorTable(Session& session, int count, int start);
void ShowSectorDump(Session& session, int block, int sector);
// sector 0..15 within the selected bank.
void ShowExternalSectorDump(Session& session, int sector);

// After a read: the table with the range just read, its first sector the hot
// item and in the dump. `first` is the sector index within the block (within
// the bank for the external form).
void ShowReadRange(Session& session, int block, int first, int count);
void ShowExternalReadRange(Session& session, int first, int count);

}  // namespace brisko
