#pragma once
#include <string>
#include <vector>

#include "chip/session_record.hpp"
#include "link/agreed_read.hpp"
#include "link/serial_port.hpp"
#include "shell/block0/recovery_file.hpp"

namespace brisko {

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

// A record of `areas` (their bytes already read) on the chip's port and
// model, with the chip's fingerprint, written to `dataDir`. False
// (the reason in `whyNot`) when the fingerprint could not be read or the file
// could not be written: nothing may then be erased.
bool KeepForRecovery(const SessionRecord& chip, const std::string& dataDir, const std::string& flow,
                     std::vector<RecoveryArea> areas, const RangeReader& read, RecoveryRecord& record,
                     std::string& whyNot);

// The block-0 reader of the loader on `port` (it must show block 0).
RangeReader LoaderReader(SerialPort& port);

}  // namespace brisko
