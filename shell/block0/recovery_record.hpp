#pragma once
#include <string>
#include <vector>

#include "link/agreed_read.hpp"
#include "shell/block0/recovery_file.hpp"

namespace brisko {

class Session;

// A chip is known again by block-0 bytes a flow does not touch: up to
// kFingerprintSectors sectors outside `touched` that are not blank (blank
// ones when there are none), each read until two reads agree. Empty when
// none of them could be read.
inline constexpr std::size_t kFingerprintSectors = 4;
std::vector<FingerprintSector> TakeFingerprint(const RangeReader& read, std::uint32_t blockEnd,
                                               const std::vector<RecoveryArea>& touched);

// Whether the chip read through `read` still holds the fingerprinted bytes.
enum class FingerprintCheck { Matches, Differs, Unreadable };
FingerprintCheck CheckFingerprint(const RangeReader& read, const std::vector<FingerprintSector>& fingerprint);

// Reads each area's bytes until two reads agree. False when an area could
// not be read so.
bool ReadAreasAgreed(const RangeReader& read, std::vector<RecoveryArea>& areas);

// A record of `areas` (their bytes already read) on this session's port and
// model, with the chip's fingerprint, written to the data directory. False
// (the reason in `whyNot`) when the fingerprint could not be read or the file
// could not be written: nothing may then be erased.
bool KeepForRecovery(Session& session, const std::string& flow, std::vector<RecoveryArea> areas,
                     const RangeReader& read, RecoveryRecord& record, std::string& whyNot);

// The block-0 reader of the session's port (the loader must show block 0).
RangeReader LoaderReader(Session& session);

}  // namespace brisko
