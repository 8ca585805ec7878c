#pragma once
#include <cstdint>

#include "chip/session_record.hpp"

namespace brisko {

// What the chip's lock level allows the commands that read flash out to a
// file or a printer: everything, block 1 only (a hard lock hides block 0, so
// the command warns and goes on), or nothing (any lock in external memory
// mode).
enum class FileLockRule { Open, Block1Only, Refused };

FileLockRule FileLockRuleFor(const SessionRecord& record, std::uint8_t securityBits);

}  // namespace brisko
