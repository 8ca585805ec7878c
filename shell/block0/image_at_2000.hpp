#pragma once
#include <cstdint>
#include <span>
#include <string>

#include "link/agreed_read.hpp"

#include "link/result_codes.hpp"

namespace brisko {

class FlashEngine;
class Session;
struct RecoveryRecord;

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

// Keeps what a program at 2000h displaces (0000h-007Fh and 2000h-217Fh):
// each area read through `read` until two reads agree, into the session's
// buffers and a recovery file of `flow`. False, with the reason told, when
// they could not be read alike, the file could not be written, or an earlier
// interruption's bytes are not back in those areas yet: nothing may then be
// erased.
bool SaveParkingArea(Session& session, const std::string& flow, const RangeReader& read, RecoveryRecord& recovery);

// Whether the chip's lock lets the loader be replaced: bits 00h, 80h or 40h
// on the KT500 family, 00h or 40h on the KT400 family.
bool LoaderReplaceableUnderLock(int model, std::uint8_t securityBits);

}  // namespace brisko
