#pragma once
#include <ctime>
#include <string>

#include "link/read_routines.hpp"

namespace brisko {

// While the block-1 programmer is parked in block 0, the two block-0 areas it
// displaces exist only in host memory. They are also written to a recovery
// file, so that a failed put-back, a lost link or a crash of the host cannot
// lose them.
//
// Layout (raw binary, 512 bytes, nothing else):
//   offset   0, 128 bytes: flash 0000h-007Fh (savedSector0)
//   offset 128, 384 bytes: flash 2000h-217Fh (savedArea2000)
// Name: block0-recovery-YYYYMMDD-HHMMSS.bin in the user's data directory,
// with "-2", "-3" ... before ".bin" when that name is taken.
inline constexpr std::size_t kRecoverySector0Size = 128;
inline constexpr std::size_t kRecoveryArea2000Size = 384;
inline constexpr std::size_t kRecoveryFileSize = kRecoverySector0Size + kRecoveryArea2000Size;

// Writes a new recovery file (mode 0600, flushed to disk) in `directory` and
// returns its path; "" when it could not be written completely (a partial
// file is removed).
std::string WriteBlock0RecoveryFile(const std::string& directory, const SavedAreas& saved, std::time_t now);
// The same, saying why in `whyNot` (the folder or file and the system's
// reason) when it returns "".
std::string WriteBlock0RecoveryFile(const std::string& directory, const SavedAreas& saved, std::time_t now,
                                    std::string& whyNot);

// The upgrade of a 1.1E loader displaces 0000h-04FFh instead: the same kind of
// file, holding those 1280 bytes (savedUserCode) and nothing else.
inline constexpr std::size_t kUserCodeRecoveryFileSize = 1280;
std::string WriteUserCodeRecoveryFile(const std::string& directory, const SavedAreas& saved, std::time_t now,
                                      std::string& whyNot);

bool RemoveBlock0RecoveryFile(const std::string& path);

}  // namespace brisko
