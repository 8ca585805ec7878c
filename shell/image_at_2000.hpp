#pragma once
#include <cstdint>
#include <span>

#include "link/result_codes.hpp"

namespace brisko {

class FlashEngine;
class MainWindow;

// Helpers that replace or displace the loader park a 368-byte program at
// 2000h of block 0 (the block-1 programmer, the bank helper). This is the
// step they share, and the save of what it displaces.

inline constexpr int kParkAttempts = 12;

// Results of the last attempt of the install: sector 0 erased, the three
// sectors at 2000h erased, the image programmed and verified.
struct InstallResults {
  Result erase0 = Result::Failed;
  Result erase2000 = Result::Failed;
  Result program = Result::Failed;
  bool AllOk() const { return erase0 == Result::Ok && erase2000 == Result::Ok && program == Result::Ok; }
};
// Erases sector 0 and 2000h-217Fh and programs `image` at 2000h, at most
// kParkAttempts times until all three succeed.
InstallResults InstallImageAt2000(FlashEngine& engine, std::span<const std::uint8_t> image);

// SaveSector0 and SaveArea2000 into the session's buffers, at most
// kParkAttempts times until both succeed.
bool SaveParkingArea(MainWindow& w);

// Whether the chip's lock lets the loader be replaced: bits 00h, 80h or 40h
// on the KT500 family, 00h or 40h on the KT400 family.
bool LoaderReplaceableUnderLock(int model, std::uint8_t securityBits);

}  // namespace brisko
