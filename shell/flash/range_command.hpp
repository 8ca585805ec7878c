#pragma once
#include <cstdint>
#include <optional>

#include "shell/session/command_outcome.hpp"
#include "shell/flash/dialog_lists.hpp"

namespace brisko {

class Session;

using RangeCommand = CommandOutcome (*)(Session&);

// What the sector-range commands (Read, Sector Erase) share around their own
// work: the entry checks, then `onBank` while an external bank is entered,
// else the block check and `onChip` with the range dialog offering both
// blocks (rangeIncludesBlock1 set for its duration).
CommandOutcome RunOnSectorRange(Session& session, RangeCommand onChip, RangeCommand onBank);

// A range of sectors of one block, as the range dialog chose it.
struct SectorRange {
  StartChoice start;
  std::uint32_t count = 0;
  std::uint32_t sectorSize = 0;
};
// The range dialog over both blocks; none when cancelled. Selects the tab of
// the block the range starts in.
std::optional<SectorRange> ChooseSectorRange(Session& session);

}  // namespace brisko
